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

namespace {

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j)
    row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "unknown option --name", with the closest accepted option.
std::string UnknownOption(std::string_view name, std::span<const AcceptedOption> accepted) {
  std::vector<std::string_view> names = {"help"};
  for (const AcceptedOption& o : accepted)
    names.push_back(o.name);
  std::string message = "unknown option --" + std::string(name);
  if (const std::string_view close = Closest(name, names); !close.empty()) {
    message += "; did you mean --" + std::string(close) + "?";
  }
  return message;
}

}  // namespace

std::string_view Closest(std::string_view word, std::span<const std::string_view> candidates) {
  std::string_view best;
  std::size_t bestDistance = word.size() / 3 + 1;
  std::vector<std::string_view> extending;
  for (const std::string_view c : candidates) {
    if (!word.empty() && c.starts_with(word)) extending.push_back(c);
    const std::size_t d = EditDistance(word, c);
    if (d < bestDistance && d <= c.size() / 3 + 1) {
      best = c;
      bestDistance = d;
    }
  }
  if (best.empty() && extending.size() == 1) return extending.front();
  return best;
}

Arguments ParseArguments(const std::vector<std::string>& args,
                         std::span<const AcceptedOption> accepted) {
  Arguments parsed;
  const auto fail = [&parsed](std::string message) {
    if (parsed.error.empty()) parsed.error = std::move(message);
  };
  // Takes the option's value: `attached` (after "=" or the short name), or the next argument.
  const auto take = [&](const AcceptedOption& option, std::optional<std::string> attached,
                        std::size_t& i) {
    const std::string name(option.name);
    if (!option.takesValue) {
      if (attached) fail("--" + name + " takes no value");
      parsed.options[name].emplace_back();
    } else if (attached) {
      parsed.options[name].push_back(std::move(*attached));
    } else if (i + 1 < args.size()) {
      parsed.options[name].push_back(args[++i]);
    } else {
      fail("--" + name + " needs a value");
    }
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
    } else if (arg[1] != '-') {
      const auto option = std::find_if(accepted.begin(), accepted.end(), [&arg](const auto& o) {
        return o.shortName != 0 && o.shortName == arg[1];
      });
      if (option == accepted.end()) {
        fail("unknown option " + arg.substr(0, 2));
      } else {
        take(*option, arg.size() > 2 ? std::optional<std::string>(arg.substr(2)) : std::nullopt, i);
      }
    } else {
      const std::size_t equals = arg.find('=');
      const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
      const auto option = std::find_if(accepted.begin(), accepted.end(),
                                       [&name](const AcceptedOption& o) { return o.name == name; });
      if (option == accepted.end()) {
        fail(UnknownOption(name, accepted));
      } else {
        take(*option,
             equals != std::string::npos ? std::optional<std::string>(arg.substr(equals + 1))
                                         : std::nullopt,
             i);
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

std::optional<bool> ColourWanted(const Output& out, std::string_view when) {
  if (when == "always") return true;
  if (when == "never") return false;
  if (!when.empty() && when != "auto") return std::nullopt;
  const char* noColour = std::getenv("NO_COLOR");
  return out.terminal() && (noColour == nullptr || *noColour == '\0');
}

}  // namespace tvx::tool
