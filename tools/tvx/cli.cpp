#include "cli.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "terminal.h"

namespace tvx::tool {

std::optional<std::string> Arguments::Value(std::string_view name) const {
  const auto it = options.find(name);
  if (it == options.end() || it->second.empty()) return std::nullopt;
  return it->second.back();
}

const std::vector<std::string>& Arguments::Values(std::string_view name) const {
  static const std::vector<std::string> kNone;
  const auto it = options.find(name);
  return it == options.end() ? kNone : it->second;
}

Arguments ParseArguments(const std::vector<std::string>& args,
                         const std::vector<AcceptedOption>& accepted) {
  Arguments parsed;
  const auto fail = [&parsed](std::string message) {
    if (parsed.error.empty()) parsed.error = std::move(message);
  };
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool number = arg.size() > 1 && arg[0] == '-' && arg[1] >= '0' && arg[1] <= '9';
    if (optionsEnded || arg.size() < 2 || arg[0] != '-' || number) {
      parsed.positional.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      parsed.help = true;
    } else if (arg.rfind("--", 0) != 0) {
      fail("unknown option " + arg);
    } else {
      const std::size_t equals = arg.find('=');
      const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
      const auto option = std::find_if(accepted.begin(), accepted.end(),
                                       [&name](const AcceptedOption& o) { return o.name == name; });
      if (option == accepted.end()) {
        fail("unknown option --" + name);
      } else if (!option->takesValue) {
        if (equals != std::string::npos) fail("--" + name + " takes no value");
        parsed.options[name].emplace_back();
      } else if (equals != std::string::npos) {
        parsed.options[name].push_back(arg.substr(equals + 1));
      } else if (i + 1 < args.size()) {
        parsed.options[name].push_back(args[++i]);
      } else {
        fail("--" + name + " needs a value");
      }
    }
  }
  return parsed;
}

Output& Output::operator<<(std::string_view text) {
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size() &&
      error_.empty()) {
    error_ = std::strerror(errno);
  }
  return *this;
}

bool Output::Finish() {
  if (std::fflush(file_) != 0 && error_.empty()) error_ = std::strerror(errno);
  if (std::ferror(file_) != 0 && error_.empty()) error_ = "write error";
  return error_.empty();
}

bool Output::terminal() const {
  return IsTerminal(file_);
}

int UsageError(Output& err, std::string_view command, std::string_view message) {
  const std::string name = command.empty() ? "tvx" : "tvx " + std::string(command);
  err << name << ": " << message << "\ntry '" << name << " --help'\n";
  return kUsage;
}

bool ColourWanted(const Output& out) {
  const char* noColour = std::getenv("NO_COLOR");
  return out.terminal() && (noColour == nullptr || *noColour == '\0');
}

}  // namespace tvx::tool
