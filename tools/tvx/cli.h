// What every tvx command shares as a command-line program: the exit statuses, the arguments, the
// standard output with its write errors, and the usage errors.
#pragma once

#include <cstdio>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tvx::tool {

// Exit statuses, the same for every command.
inline constexpr int kOk = 0;          // done; a decode reached the stream's end code
inline constexpr int kIoError = 1;     // a file could not be read or written, a plug-in failed
inline constexpr int kUsage = 2;       // the arguments are wrong
inline constexpr int kEndedEarly = 3;  // a decode ended before the end code (said on stderr)

// One option a command accepts: "--name" alone, or "--name VALUE" / "--name=VALUE"; with a short
// name also "-n", "-n VALUE" or "-nVALUE".
struct AcceptedOption {
  std::string_view name;  // without the dashes
  bool takesValue = false;
  char shortName = 0;  // 0 for none
};

struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::vector<std::string>, std::less<>> options;  // every value given
  bool help = false;
  std::string error;  // the first usage error, or ""

  bool Has(std::string_view name) const { return options.find(name) != options.end(); }
  // The last value given for the option, or nothing.
  std::optional<std::string> Value(std::string_view name) const;
  const std::vector<std::string>& Values(std::string_view name) const;
};

// Splits a command's arguments. "--" ends the options; "-" alone and words that start with a
// dash and a digit ("-5") are positional; "-h" and "--help" ask for the command's help. An
// unknown option's error names the closest accepted one.
Arguments ParseArguments(const std::vector<std::string>& args,
                         std::span<const AcceptedOption> accepted);

// The candidate closest to `word` (a typing slip away: at most a third of its letters changed,
// or `word` is the start of exactly one candidate); "" when none is close.
std::string_view Closest(std::string_view word, std::span<const std::string_view> candidates);

// Standard output or standard error, written byte for byte; remembers the first failed write.
class Output {
 public:
  explicit Output(std::FILE* file) : file_(file) {}
  Output& operator<<(std::string_view text);
  Output& operator<<(char c) { return *this << std::string_view(&c, 1); }
  Output& operator<<(long long number) { return *this << std::string_view(std::to_string(number)); }
  Output& operator<<(int number) { return *this << static_cast<long long>(number); }
  // Writes out what is buffered; false, with the system's reason in error(), after any failure.
  bool Finish();
  const std::string& error() const { return error_; }
  bool terminal() const;  // the output is a terminal

 private:
  std::FILE* file_;
  std::string error_;
};

// A command's standard output and error, and the options every command takes.
struct Streams {
  Output& out;
  Output& err;
  bool quiet = false;   // -q: no summary or note on standard error, only errors and warnings
  bool colour = false;  // --color, NO_COLOR and whether `out` is a terminal, decided
};

// "tvx CMD: message" and the hint to the command's help, on standard error; returns kUsage.
int UsageError(Output& err, std::string_view command, std::string_view message);

// Whether colours go to `out` for --color=WHEN ("auto", "always", "never"; "" is auto): always,
// never, or on a terminal when NO_COLOR is not set. Nothing for another WHEN.
std::optional<bool> ColourWanted(const Output& out, std::string_view when);

}  // namespace tvx::tool
