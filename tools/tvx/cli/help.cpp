// The help texts, made from the command table and the option table, within 80 columns.
#include "commands.h"
#include "suggest.h"
#include "text.h"
#include "words.h"

namespace tvx::cli {

namespace {

constexpr std::size_t kWidth = 80;
constexpr std::size_t kLabelColumn = 13;  // where an option's or operand's help starts

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  while (!text.empty()) {
    const std::size_t blank = text.find(' ');
    if (blank != 0) words.push_back(text.substr(0, blank));
    if (blank == std::string_view::npos) break;
    text.remove_prefix(blank + 1);
  }
  return words;
}

// Units laid out on lines of at most `width` columns (a unit longer than a line stands alone).
std::string Lay(const std::vector<std::string>& units, std::size_t width, std::string_view first,
                std::size_t indent) {
  std::string text(first);
  std::size_t column = first.size();
  bool lineEmpty = true;
  for (const std::string& unit : units) {
    if (!lineEmpty && column + 1 + unit.size() > width) {
      text += "\n" + std::string(indent, ' ');
      column = indent;
      lineEmpty = true;
    }
    if (!lineEmpty) {
      text += ' ';
      ++column;
    }
    text += unit;
    column += unit.size();
    lineEmpty = false;
  }
  return text + "\n";
}

// A label and its help: on one line when the label leaves room, else the help below it.
std::string Item(std::string_view label, std::string_view help) {
  std::string first = "  " + std::string(label);
  if (first.size() + 1 <= kLabelColumn) {
    first.append(kLabelColumn - first.size(), ' ');
  } else {
    first += "\n" + std::string(kLabelColumn, ' ');
  }
  return Wrap(help, kWidth, first, kLabelColumn);
}

// Paragraphs separated by an empty line, each wrapped.
std::string Paragraphs(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const std::size_t end = text.find("\n\n");
    out += Wrap(text.substr(0, end), kWidth, "", 0);
    if (end == std::string_view::npos) break;
    out += "\n";
    text.remove_prefix(end + 2);
  }
  return out;
}

std::string OptionHelp(const CommandOption& o) {
  const OptionDefinition& definition = Definition(o.option);
  return Item(OptionLabel(definition), o.help.empty() ? definition.help : o.help);
}

// The usage line: the synopsis laid out within the width, its continuation lines under the
// first operand.
std::string Usage(const Command& command, std::string_view lead) {
  const std::string synopsis = Synopsis(command);
  const std::string name = "tvx " + std::string(command.name) + " ";
  const std::string head = std::string(lead) + name;
  std::vector<std::string> units;
  // Bracketed items stay whole.
  std::string_view rest = std::string_view(synopsis).substr(name.size());
  while (!rest.empty()) {
    std::size_t end = 0;
    int depth = 0;
    for (; end < rest.size(); ++end) {
      if (rest[end] == '[') ++depth;
      if (rest[end] == ']') --depth;
      if (rest[end] == ' ' && depth == 0) break;
    }
    units.emplace_back(rest.substr(0, end));
    rest.remove_prefix(std::min(rest.size(), end + 1));
  }
  return Lay(units, kWidth, head, head.size());
}

}  // namespace

std::string Wrap(std::string_view text, std::size_t width, std::string_view first,
                 std::size_t indent) {
  std::vector<std::string> units;
  for (const std::string_view word : Words(text))
    units.emplace_back(word);
  return Lay(units, width, first, indent);
}

namespace {

constexpr Operand kExitStatuses[] = {
    {"0",
     "done: the decode reached the stream's end code (scan and report: every file was read; "
     "host: the plug-in also answered, wrote its files and ended; explain --limit: the rows "
     "asked for were shown)"},
    {"3",
     "a decode ended early: the stream is cut (\"Unexpected end of file\") or a code stopped it; "
     "standard error says which and where"},
    {"2",
     "the arguments are wrong; standard error says what, and nothing is written to standard "
     "output"},
    {"1",
     "a file cannot be read or written (then nothing is written to standard output), or the "
     "plug-in could not be started, did not answer, wrote no listing or block, or did not end "
     "cleanly; 1 wins over 3"},
};

constexpr Operand kEnvironment[] = {
    {"NO_COLOR", "when set and not empty, no colours unless --color always"},
    {"LC_ALL, LC_CTYPE, LANG",
     "the terminal's character set: paths are shown as UTF-8 only when it is UTF-8"},
    {"TMPDIR",
     "where standard input is copied when it must be read at positions (/tmp when not set)"},
};

}  // namespace

std::span<const Operand> ExitStatuses() {
  return kExitStatuses;
}

std::span<const Operand> Environment() {
  return kEnvironment;
}

std::string ExitStatusHelp() {
  std::string text = "Exit status, the same for every command:\n";
  for (const Operand& item : kExitStatuses)
    text += Item(item.name, item.help);
  return text;
}

std::string EnvironmentHelp() {
  std::string text = "Environment:\n";
  for (const Operand& item : kEnvironment)
    text += Item(item.name, item.help);
  return text;
}

std::string OverviewHelp() {
  std::string text = "usage: tvx [-q] [--color WHEN] COMMAND ARGUMENTS...\n\n";
  for (const Command& c : Commands()) {
    text += Usage(c, "  ");
    text += Wrap(c.summary, kWidth, "      ", 6);
  }
  text += "  tvx --version\n      tvx's version\n\n";
  text += Paragraphs(
      "FILE is a compiled program file, or - for standard input. Options take their value as "
      "--name VALUE or --name=VALUE; -h or --help shows a command's help. Every command takes "
      "--color WHEN and -q, also before the command. 'tvx help COMMAND' tells more about a "
      "command.\n\n"
      "Places in a file: a position is 1-based and decimal (the number the host sends); an "
      "offset is 0-based and written 0x... (what a hex dump shows). Position 1025 is offset "
      "0x400.");
  text += "\nThe controls (deliverable name, control class word; class names):\n";
  text += render::KnownControls();
  text += "\n" + ExitStatusHelp() + "\n" + EnvironmentHelp();
  return text;
}

std::string CommandHelp(const Command& command) {
  std::string text = Usage(command, "usage: ") + "\n" + Paragraphs(command.description) + "\n";
  for (const Operand& operand : command.operandHelp)
    text += Item(operand.name, operand.help);
  for (const CommandOption& o : command.options)
    text += OptionHelp(o);
  for (const Option o : CommonOptions())
    text += OptionHelp({o});
  return text + "\n" + ExitStatusHelp();
}

int HelpCommand(const Parsed& args, Io& io) {
  if (args.operands.size() > 1) return UsageError(io.err, "help", "one command at most");
  if (args.operands.empty()) {
    io.out << OverviewHelp();
    return kOk;
  }
  const std::string& name = args.operands.front();
  const Command* command = FindCommand(name);
  if (command == nullptr) {
    std::vector<std::string_view> names;
    for (const Command& c : Commands())
      names.push_back(c.name);
    std::string message = "no command \"" + render::Printable(name) + "\"";
    if (const std::string_view close = core::Closest(name, names); !close.empty()) {
      message += "; did you mean '" + std::string(close) + "'?";
    }
    return UsageError(io.err, "help", message);
  }
  io.out << CommandHelp(*command);
  return kOk;
}

}  // namespace tvx::cli
