// The tvx commands. Each takes the arguments after its name, writes its result to `out` and its
// errors to `err`, and returns the exit status (cli.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli.h"

namespace tvx::tool {

int DecodeCommand(const std::vector<std::string>& args, Output& out, Output& err);
int ExplainCommand(const std::vector<std::string>& args, Output& out, Output& err);
int HostCommand(const std::vector<std::string>& args, Output& out, Output& err);
int ScanCommand(const std::vector<std::string>& args, Output& out, Output& err);
int ReportCommand(const std::vector<std::string>& args, Output& out, Output& err);
std::string ReportHelp();

// The help of a command ("" for the overview) on `out`; a usage error for an unknown command.
int Help(std::string_view command, Output& out, Output& err);

}  // namespace tvx::tool
