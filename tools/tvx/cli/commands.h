// The tvx commands and the one table that drives their dispatch, usage lines, help, manual page
// and "did you mean" hints. Each command checks its arguments, asks the core, has the result
// rendered and returns the exit status.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "options.h"
#include "output.h"

namespace tvx::cli {

// Exit statuses, the same for every command.
inline constexpr int kOk = 0;          // done; a decode reached the stream's end code
inline constexpr int kIoError = 1;     // a file could not be read or written, a plug-in failed
inline constexpr int kUsage = 2;       // the arguments are wrong
inline constexpr int kEndedEarly = 3;  // a decode ended before the end code (said on stderr)

// A command's standard output and error, and what the options every command takes decided.
struct Io {
  Output& out;
  Output& err;
  bool quiet = false;   // -q: no summary, note or progress on standard error
  bool colour = false;  // --color, NO_COLOR and whether `out` is a terminal, decided
  bool utf8 = true;     // the terminal shows UTF-8
  // The command checks its arguments and stops there, before it reads, writes or starts
  // anything: how the argument parser is fuzzed.
  bool checkOnly = false;
};

// An option a command takes; `help`, where given, says what it does for this command.
struct CommandOption {
  Option option;
  std::string_view help = {};
};

struct Operand {
  std::string_view name;
  std::string_view help;
};

struct Command {
  std::string_view name;
  std::string_view operands;  // "CONTROL FILE POSITION"
  // The synopsis after the operands: groups shown in brackets; a group's alternatives are
  // separated by "|"; an alternative's options after the first are nested ("--decode
  // [--listing]").
  std::vector<std::vector<std::vector<Option>>> synopsis;
  std::vector<CommandOption> options;  // every option it takes besides the common ones
  std::vector<Operand> operandHelp;
  std::string_view summary;      // one line, for the overview
  std::string_view description;  // paragraphs, separated by an empty line
  int (*run)(const Parsed& args, Io& io);
};

std::span<const Command> Commands();
const Command* FindCommand(std::string_view name);

// "tvx decode CONTROL FILE POSITION [--offsets] ...": the usage line, and the docs' heading.
std::string Synopsis(const Command& command);
// The options the command accepts: its own and the common ones.
std::vector<Option> Accepted(const Command& command);

// tvx's whole command line (without the program name) run: the exit status. With `checkOnly`,
// the command's arguments are checked and nothing is done (Io::checkOnly).
int RunTvx(const std::vector<std::string>& args, Output& out, Output& err, bool checkOnly = false);

// "tvx CMD: message" and the hint to the command's help, on standard error; returns kUsage.
int UsageError(Output& err, std::string_view command, std::string_view message);

// The help: the overview, a command's, and the parts the manual page is made of.
std::string OverviewHelp();
std::string CommandHelp(const Command& command);
std::string ExitStatusHelp();
std::string EnvironmentHelp();
// The exit statuses and the environment variables, each with what it means.
std::span<const Operand> ExitStatuses();
std::span<const Operand> Environment();
// `text` wrapped at `width` columns: the first line after `first`, the others after `indent`
// blanks.
std::string Wrap(std::string_view text, std::size_t width, std::string_view first,
                 std::size_t indent);

// The commands' own work.
int DecodeCommand(const Parsed& args, Io& io);
int ExplainCommand(const Parsed& args, Io& io);
int ScanCommand(const Parsed& args, Io& io);
int OutlineCommand(const Parsed& args, Io& io);
int HostCommand(const Parsed& args, Io& io);
int ReportCommand(const Parsed& args, Io& io);
int PropertiesCommand(const Parsed& args, Io& io);
int HelpCommand(const Parsed& args, Io& io);

}  // namespace tvx::cli
