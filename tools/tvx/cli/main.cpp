// tvx: tools for the people who maintain the host. Decodes a control's property stream as its
// plug-in would, explains a stream byte by byte, finds the controls of compiled programs, writes
// a report of them and drives a built plug-in by hand.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "terminal.h"

int main(int argc, char** argv) {
  using namespace tvx::cli;
  SetUpProcess();
  Output out(stdout);
  Output err(stderr);
  int status = RunTvx(std::vector<std::string>(argv + 1, argv + argc), out, err);
  if (!out.Finish() && status != kIoError) {  // not yet reported by the command
    err << "tvx: cannot write to standard output: " << out.error() << "\n";
    status = kIoError;
  }
  err.Finish();
  return status;
}
