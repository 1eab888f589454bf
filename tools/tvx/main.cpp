// tvx: tools for the people who maintain the host. Decodes a control's property stream as its
// plug-in would, explains a stream byte by byte, and drives a built plug-in by hand.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "common.h"
#include "terminal.h"

int main(int argc, char** argv) {
  using namespace tvx::tool;
  UseBinaryStandardStreams();
  Output out(stdout);
  Output err(stderr);
  const std::vector<std::string> all(argv + 1, argv + argc);
  const std::string command = all.empty() ? "" : all.front();
  const std::vector<std::string> args(all.begin() + (all.empty() ? 0 : 1), all.end());
  int status = kOk;
  if (command.empty()) {
    status =
        UsageError(err, "", "a command is missing (decode, explain, scan, report, host, help)");
  } else if (command == "--help" || command == "-h") {
    status = Help("", out, err);
  } else if (command == "help") {
    status = args.size() > 1 ? UsageError(err, "help", "one command at most")
                             : Help(args.empty() ? "" : args.front(), out, err);
  } else if (command == "--version") {
    out << "tvx " << TVX_VERSION << "\n";
  } else if (command == "decode") {
    status = DecodeCommand(args, out, err);
  } else if (command == "explain") {
    status = ExplainCommand(args, out, err);
  } else if (command == "host") {
    status = HostCommand(args, out, err);
  } else if (command == "scan") {
    status = ScanCommand(args, out, err);
  } else if (command == "report") {
    status = ReportCommand(args, out, err);
  } else {
    status = UsageError(err, "", "unknown command \"" + Printable(command) + "\"");
  }
  if (!out.Finish() && status != kIoError) {  // not yet reported by the command
    err << "tvx: cannot write to standard output: " << out.error() << "\n";
    status = kIoError;
  }
  err.Finish();
  return status;
}
