// tvx's options, each defined once: its name, its short name, its value's name, its help and the
// check of its value. The command table says which command takes which; the parser, the usage
// lines, the help, the manual page and the "did you mean" hints all come from here.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tvx::cli {

enum class Option : std::uint8_t {
  kOffsets,
  kBlock,
  kListing,
  kPicture,
  kJson,
  kFileOffset,
  kLimit,
  kClass,
  kAll,
  kName,
  kForm,
  kPosition,
  kFollow,
  kJobs,
  kDecode,
  kOut,
  kTimeout,
  kOutput,
  kStream,
  kFields,
  kCsv,
  kTable,
  kControl,
  kHas,
  kShareable,
  kWhole,
  kColor,
  kQuiet,
  kHelp,
  kVersion,
};

struct OptionDefinition {
  Option id;
  std::string_view name;   // without the dashes
  char shortName;          // 0 for none
  std::string_view value;  // the value's name in the help ("N", "PATH"); "" for a flag
  bool repeatable;         // given more than once, every value counts
  std::string_view help;   // what it does, as one paragraph (wrapped where it is shown)
  // What is wrong with a value ("" when nothing is), after "--name ".
  std::string (*check)(std::string_view value);
};

const OptionDefinition& Definition(Option option);
std::span<const OptionDefinition> AllOptions();
// "--name" or "-n, --name", with " VALUE".
std::string OptionLabel(const OptionDefinition& definition);

// The options every command takes, and those tvx takes before a command.
std::span<const Option> CommonOptions();
std::span<const Option> LeadingOptions();

struct Parsed {
  std::vector<std::string> operands;
  std::map<Option, std::vector<std::string>> values;  // every value given; "" for a flag
  std::string error;                                  // the first usage error, or ""
  std::vector<std::string> given;  // tvx's whole command line as given, after its name

  bool Has(Option option) const { return values.count(option) != 0; }
  // The last value given, or nothing.
  std::optional<std::string> Value(Option option) const;
  const std::vector<std::string>& Values(Option option) const;
};

// Splits a command's arguments. "--" ends the options; "-" alone is an operand. Options take
// their value as "--name VALUE", "--name=VALUE", "-n VALUE" or "-nVALUE"; flags may be bundled
// ("-qj2"). An unknown option's error names the closest accepted one.
Parsed Parse(std::span<const std::string> args, std::span<const Option> accepted);

}  // namespace tvx::cli
