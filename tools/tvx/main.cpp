// tvx: tools for the people who maintain the host. Decodes a control's property stream as its
// plug-in would, explains a stream byte by byte, and drives a built plug-in by hand.
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "common.h"

int main(int argc, char** argv) {
  using namespace tvx::tool;
  const std::vector<std::string> all(argv + 1, argv + argc);
  if (all.empty()) {
    std::cerr << kUsage;
    return kBadArguments;
  }
  const std::string& command = all.front();
  const std::vector<std::string> args(all.begin() + 1, all.end());
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage << "\nThe controls (deliverable name and control class word):\n"
              << KnownControls();
    return kOk;
  }
  if (command == "decode") return DecodeCommand(args, std::cout, std::cerr);
  if (command == "explain") return ExplainCommand(args, std::cout, std::cerr);
  if (command == "host") return HostCommand(args, std::cout, std::cerr);
  std::cerr << "tvx: unknown command \"" << Printable(command) << "\"\n\n" << kUsage;
  return kBadArguments;
}
