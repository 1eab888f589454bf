// tvx: tools for the people who maintain the host. Decodes a control's property stream as its
// plug-in would, explains a stream byte by byte, finds the controls of compiled programs, writes
// a report of them and drives a built plug-in by hand.
#include "main.h"

#include <cstdio>

#include "commands.h"
#include "terminal.h"

namespace tvx::cli {

int Main(const std::vector<std::string>& args) {
  SetUpProcess();
  Output out(stdout);
  Output err(stderr);
  int status = RunTvx(args, out, err);
  if (!out.Finish() && status != kIoError) {  // not yet reported by the command
    err << "tvx: cannot write to standard output: " << out.error() << "\n";
    status = kIoError;
  }
  err.Finish();
  return status;
}

}  // namespace tvx::cli
