#include <algorithm>
#include <cstdlib>

#include "commands.h"
#include "suggest.h"
#include "terminal.h"
#include "text.h"

namespace tvx::cli {

namespace {

using O = Option;

std::vector<std::string_view> CommandNames() {
  std::vector<std::string_view> names;
  for (const Command& c : Commands())
    names.push_back(c.name);
  return names;
}

// "decode, explain, ..."
std::string JoinedCommandNames() {
  std::string names;
  for (const std::string_view name : CommandNames())
    names += (names.empty() ? "" : ", ") + std::string(name);
  return names;
}

// "--name VALUE", or "-j N" for an option known by its short name.
std::string SynopsisLabel(Option option) {
  const OptionDefinition& definition = Definition(option);
  std::string label =
      definition.shortName != 0 && definition.id != O::kQuiet && definition.id != O::kHelp
          ? std::string("-") + definition.shortName
          : "--" + std::string(definition.name);
  if (!definition.value.empty()) label += " " + std::string(definition.value);
  return label;
}

bool ColourWanted(const Output& out, std::string_view when) {
  if (when == "always") return true;
  if (when == "never") return false;
  const char* noColour = std::getenv("NO_COLOR");
  return out.Terminal() && (noColour == nullptr || *noColour == '\0');
}

}  // namespace

std::string Synopsis(const Command& command) {
  std::string text = "tvx " + std::string(command.name) + " " + std::string(command.operands);
  for (const auto& group : command.synopsis) {
    std::string item;
    for (const auto& alternative : group) {
      if (!item.empty()) item += " | ";
      item += SynopsisLabel(alternative.front());
      for (std::size_t i = 1; i < alternative.size(); ++i)
        item += " [" + SynopsisLabel(alternative[i]) + "]";
    }
    text += " [" + item + "]";
    if (group.size() == 1 && group.front().size() == 1 &&
        Definition(group.front().front()).repeatable) {
      text += "...";
    }
  }
  return text;
}

std::vector<Option> Accepted(const Command& command) {
  std::vector<Option> accepted;
  for (const CommandOption& o : command.options)
    accepted.push_back(o.option);
  for (const Option o : CommonOptions())
    accepted.push_back(o);
  return accepted;
}

int UsageError(Output& err, std::string_view command, std::string_view message) {
  const std::string name = command.empty() ? "tvx" : "tvx " + std::string(command);
  err << name << ": " << message << "\ntry '" << name << " --help'\n";
  return kUsage;
}

int RunTvx(const std::vector<std::string>& args, Output& out, Output& err, bool checkOnly) {
  // The options before the command: those every command takes, and --version.
  std::size_t first = 0;
  while (first < args.size()) {
    const std::string& arg = args[first];
    if (arg.size() < 2 || arg[0] != '-' || arg == "--") break;
    first += arg == "--color" ? 2 : 1;  // the one leading option whose value may follow
  }
  first = std::min(first, args.size());
  const std::vector<std::string> leading(args.begin(), args.begin() + static_cast<long>(first));
  const Parsed before = Parse(leading, LeadingOptions());
  if (!before.error.empty()) return UsageError(err, "", before.error);
  if (before.Has(O::kVersion)) {
    if (first < args.size()) {
      return UsageError(
          err, "", "--version takes no arguments, not \"" + render::Printable(args[first]) + "\"");
    }
    out << "tvx " << TVX_VERSION << "\n";
    return kOk;
  }
  if (first < args.size() && args[first] == "--") ++first;
  if (before.Has(O::kHelp) && first == args.size()) {
    out << OverviewHelp();
    return kOk;
  }
  if (first == args.size()) {
    return UsageError(err, "", "a command is missing (" + JoinedCommandNames() + ")");
  }
  const std::string& name = args[first];
  const Command* command = FindCommand(name);
  if (command == nullptr) {
    std::string message = "unknown command \"" + render::Printable(name) + "\"";
    const std::vector<std::string_view> names = CommandNames();
    if (const std::string_view close = core::Closest(name, names); !close.empty()) {
      message += "; did you mean '" + std::string(close) + "'?";
    } else {
      message += " (the commands: " + JoinedCommandNames() + ")";
    }
    return UsageError(err, "", message);
  }
  const std::vector<Option> accepted = Accepted(*command);
  Parsed parsed = Parse(
      std::vector<std::string>(args.begin() + static_cast<long>(first) + 1, args.end()), accepted);
  // What came before the command counts as given after it.
  for (const auto& [option, values] : before.values) {
    auto& mine = parsed.values[option];
    mine.insert(mine.begin(), values.begin(), values.end());
  }
  if (parsed.Has(O::kHelp) || before.Has(O::kHelp)) {
    out << CommandHelp(*command);
    return kOk;
  }
  if (!parsed.error.empty()) return UsageError(err, command->name, parsed.error);
  parsed.given = args;
  Io io{out, err};
  io.quiet = parsed.Has(O::kQuiet);
  io.colour = ColourWanted(out, parsed.Value(O::kColor).value_or("auto"));
  io.utf8 = TerminalIsUtf8();
  io.checkOnly = checkOnly;
  return command->run(parsed, io);
}

}  // namespace tvx::cli
