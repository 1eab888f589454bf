// The tvx commands. Each takes the arguments after its name, writes its result to `out` and its
// errors to `err`, and returns the exit status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tvx::tool {

int DecodeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int ExplainCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int HostCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char kUsage[];
extern const char kDecodeHelp[];
extern const char kExplainHelp[];
extern const char kHostHelp[];

}  // namespace tvx::tool
