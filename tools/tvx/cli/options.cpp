#include "options.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "controls.h"
#include "fields.h"
#include "files.h"
#include "places.h"
#include "suggest.h"
#include "text.h"

namespace tvx::cli {

namespace {

using render::Printable;

std::string Quoted(std::string_view value) {
  return "\"" + Printable(value) + "\"";
}

std::string CheckColor(std::string_view value) {
  if (value == "auto" || value == "always" || value == "never") return "";
  return "takes auto, always or never, not " + Quoted(value);
}

std::string CheckJobs(std::string_view value) {
  if (core::ParseCount(value, 256)) return "";
  return "takes a number of jobs from 1 to 256, not " + Quoted(value);
}

std::string CheckLimit(std::string_view value) {
  if (core::ParseCount(value, core::kMaxPosition)) return "";
  return "takes a whole number of rows from 1, not " + Quoted(value);
}

std::string CheckTimeout(std::string_view value) {
  const std::string text(value);
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  if (!text.empty() && *end == '\0' && seconds > 0 && seconds <= 86400) return "";
  return "takes a number of seconds above 0, at most a day, not " + Quoted(value);
}

std::string PlaceProblem(const core::ParsedPlace& place, std::string_view value, bool offset) {
  switch (place.error) {
    case core::PlaceError::kNone:
      return "";
    case core::PlaceError::kBeyondAnyFile:
      return Quoted(value) + " lies beyond any file (" +
             (offset ? "offsets go up to 2^53 - 1" : "positions go up to 2^53") + ")";
    case core::PlaceError::kBelowOne:
      return Quoted(value) + " is not a position: positions start at 1";
    case core::PlaceError::kNotANumber:
      break;
  }
  return offset ? Quoted(value) + " is not a file offset (0-based, decimal or 0x hexadecimal)"
                : Quoted(value) + " is not a position (1-based: decimal, or 0x hexadecimal)";
}

std::string CheckFileOffset(std::string_view value) {
  const std::string problem = PlaceProblem(core::ParseOffset(value), value, true);
  return problem.empty() ? "" : "takes an offset: " + problem;
}

std::string CheckPosition(std::string_view value) {
  const std::string problem = PlaceProblem(core::ParsePosition(value), value, false);
  return problem.empty() ? "" : "takes a position: " + problem;
}

std::string UnknownControl(std::string_view control) {
  std::string message = "no control " + Quoted(control);
  if (const std::string_view close = core::SuggestControl(control); !close.empty()) {
    message += "; did you mean '" + std::string(close) + "'?";
  }
  return message;
}

std::string CheckClass(std::string_view value) {
  const std::size_t equals = value.find('=');
  if (equals == std::string_view::npos || equals == 0) {
    return "takes NAME=CONTROL, not " + Quoted(value);
  }
  const std::string_view control = value.substr(equals + 1);
  return core::FindControl(control) != nullptr ? ""
                                               : Printable(value) + ": " + UnknownControl(control);
}

std::string CheckControl(std::string_view value) {
  return core::FindControl(value) != nullptr ? "" : UnknownControl(value);
}

std::string CheckFields(std::string_view value) {
  std::string error;
  return core::ParseFields(value, &error) ? "" : error;
}

std::string CheckProperty(std::string_view value) {
  const std::vector<std::string>& paths = core::PropertyPaths();
  if (std::find(paths.begin(), paths.end(), value) != paths.end()) return "";
  std::string error;
  core::ParseFields(value, &error);
  return error.empty() ? "takes a property, not " + Quoted(value) : error;
}

std::string CheckStream(std::string_view value) {
  const std::size_t first = value.find(':');
  const std::size_t second = first == std::string_view::npos ? first : value.find(':', first + 1);
  if (second == std::string_view::npos || second + 1 == value.size()) {
    return "takes CONTROL:POSITION:FILE, not " + Quoted(value);
  }
  const std::string_view control = value.substr(0, first);
  if (core::FindControl(control) == nullptr)
    return Printable(value) + ": " + UnknownControl(control);
  const std::string_view position = value.substr(first + 1, second - first - 1);
  const std::string problem = PlaceProblem(core::ParsePosition(position), position, false);
  return problem.empty() ? "" : Printable(value) + ": " + problem;
}

std::string CheckNotEmpty(std::string_view value) {
  return value.empty() ? "takes a value that is not empty" : "";
}

constexpr OptionDefinition kOptions[] = {
    {Option::kOffsets, "offsets", 0, "", false,
     "the listing with an offset line after each positioned line, as a request with the flag Y "
     "asks for",
     nullptr},
    {Option::kBlock, "block", 0, "", false, "only the property block", nullptr},
    {Option::kListing, "listing", 0, "", false, "only the listing", nullptr},
    {Option::kPicture, "picture", 0, "PATH", false,
     "write the picture the stream holds, if any, to PATH; - writes it to standard output "
     "instead of the listing and block (never to a terminal)",
     CheckNotEmpty},
    {Option::kJson, "json", 0, "", false, "JSON (see the documentation for its members)", nullptr},
    {Option::kFileOffset, "file-offset", 0, "OFFSET", true,
     "instead of POSITION: the 0-based offset of the stream's first byte, as a hex dump shows "
     "it (decimal or 0x hexadecimal); --file-offset 0x400 is position 1025",
     CheckFileOffset},
    {Option::kLimit, "limit", 0, "N", false,
     "stop after N rows of the table (with --json: N values); the rest of the stream is not "
     "decoded",
     CheckLimit},
    {Option::kClass, "class", 0, "NAME=CONTROL", true,
     "decode the records of class NAME with CONTROL (a deliverable name or class word): for "
     "the plug-in host control, whose class name depends on the plug-in it hosts, or a newer "
     "version of a class",
     CheckClass},
    {Option::kAll, "all", 0, "", false,
     "the records of every class; \"-\" for the control of those no plug-in decodes", nullptr},
    {Option::kName, "name", 0, "NAME", true, "only the records of this control name (any case)",
     CheckNotEmpty},
    {Option::kForm, "form", 0, "NAME", true,
     "only the records in the form of this name (any case), as the form's image in the program "
     "holds them",
     CheckNotEmpty},
    {Option::kPosition, "position", 0, "POSITION", true,
     "only the record whose stream starts at this position (1-based, decimal or 0x "
     "hexadecimal)",
     CheckPosition},
    {Option::kFollow, "follow", 0, "", false,
     "follow symbolic links inside folders (a loop is reported, not walked)", nullptr},
    {Option::kJobs, "jobs", 'j', "N", false,
     "read N files at a time (default: the number of processors, at most 16); the output is "
     "the same, in the same order, whatever N",
     CheckJobs},
    {Option::kDecode, "decode", 0, "", false,
     "after each record's line, its property block as the plug-in writes it for a request at "
     "that position (decoded in this process)",
     nullptr},
    {Option::kOut, "out", 0, "DIR", false,
     "write each record's listing, block and picture to DIR as NAME-POSITION.listing.txt, "
     "NAME-POSITION.block.txt and NAME-POSITION.EXT, byte for byte as the plug-in writes them "
     "(EXT: ico, cur, bmp, gif, jpg, wmf or emf as the picture's first bytes say, else bin); "
     "with a folder or more than one PATH, in a folder for each file: its path under DIR",
     CheckNotEmpty},
    {Option::kTimeout, "timeout", 0, "SECONDS", false,
     "how long to wait for the plug-in's reply (default 10)", CheckTimeout},
    {Option::kOutput, "output", 'o', "FILE.html", false,
     "where the page is written (- for standard output)", CheckNotEmpty},
    {Option::kStream, "stream", 0, "CONTROL:POSITION:FILE", true,
     "also show the stream at POSITION (1-based, or 0x hexadecimal) of FILE, decoded by "
     "CONTROL, as a record without a name",
     CheckStream},
    {Option::kFields, "fields", 0, "LIST", false,
     "a table of the records: one row each, a column for each field of LIST, separated by "
     "commas: file, position, offset, name, class, control, stop (how the decode ended) and "
     "properties by the names their blocks give them (a group's member as Font.Name); a record "
     "without the property has an empty cell. CSV when piped, aligned columns on a terminal",
     CheckFields},
    {Option::kCsv, "csv", 0, "", false,
     "the table as CSV (RFC 4180, UTF-8, a header row), also on a terminal", nullptr},
    {Option::kTable, "table", 0, "", false, "the table in aligned columns, also when piped",
     nullptr},
    {Option::kControl, "control", 0, "CONTROL", true,
     "only the records of this control (a deliverable name, class word or class name)",
     CheckControl},
    {Option::kHas, "has", 0, "PROPERTY", true,
     "only the records whose stream holds this property (decoded to know)", CheckProperty},
    {Option::kShareable, "shareable", 0, "", false,
     "a page to pass on: each program by its path below the folder named (a file named by its "
     "name), without the command line and the time it was made",
     nullptr},
    {Option::kWhole, "whole", 0, "", false,
     "every byte of every value in the table; without it, a value longer than 256 bytes shows "
     "its first 256 and how many more there are",
     nullptr},
    {Option::kColor, "color", 0, "WHEN", false,
     "colours: auto (on a terminal, unless NO_COLOR is set), always or never", CheckColor},
    {Option::kQuiet, "quiet", 'q', "", false,
     "no summary, note or progress line on standard error; errors and warnings still show",
     nullptr},
    {Option::kHelp, "help", 'h', "", false, "this help", nullptr},
    {Option::kVersion, "version", 'V', "", false, "tvx's version", nullptr},
};

constexpr Option kCommon[] = {Option::kColor, Option::kQuiet, Option::kHelp};
constexpr Option kLeading[] = {Option::kColor, Option::kQuiet, Option::kHelp, Option::kVersion};

// The option a mistyped short one looks like.
char LookAlike(char c) {
  switch (c) {
    case '0':
      return 'o';
    case '1':
      return 'l';
    default:
      return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
}

}  // namespace

const OptionDefinition& Definition(Option option) {
  return kOptions[static_cast<std::size_t>(option)];
}

std::span<const OptionDefinition> AllOptions() {
  return kOptions;
}

std::string OptionLabel(const OptionDefinition& definition) {
  std::string label;
  if (definition.shortName != 0) label += std::string("-") + definition.shortName + ", ";
  label += "--" + std::string(definition.name);
  if (!definition.value.empty()) label += " " + std::string(definition.value);
  return label;
}

std::span<const Option> CommonOptions() {
  return kCommon;
}

std::span<const Option> LeadingOptions() {
  return kLeading;
}

std::optional<std::string> Parsed::Value(Option option) const {
  const auto it = values.find(option);
  if (it == values.end() || it->second.empty()) return std::nullopt;
  return it->second.back();
}

const std::vector<std::string>& Parsed::Values(Option option) const {
  static const std::vector<std::string> kNone;
  const auto it = values.find(option);
  return it == values.end() ? kNone : it->second;
}

namespace {

// The arguments taken one after the other; each option's value checked as it is taken.
class Parser {
 public:
  Parser(std::span<const std::string> args, std::span<const Option> accepted)
      : args_(args), accepted_(accepted) {}

  Parsed Run() {
    bool optionsEnded = false;
    for (i_ = 0; i_ < args_.size(); ++i_) {
      const std::string& arg = args_[i_];
      if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
        parsed_.operands.push_back(arg);
      } else if (arg == "--") {
        optionsEnded = true;
      } else if (arg[1] == '-') {
        Long(arg);
      } else {
        Shorts(arg);
      }
    }
    return std::move(parsed_);
  }

 private:
  void Fail(std::string message) {
    if (parsed_.error.empty()) parsed_.error = std::move(message);
  }

  // An unknown option that is the name of a file: how to give it.
  void FailUnknown(std::string message, const std::string& arg) {
    std::error_code error;
    if (std::filesystem::exists(core::FileSystemPath(arg), error)) {
      message += " (to name the file \"" + Printable(arg) + "\", put -- before it: -- " +
                 Printable(arg) + ")";
    }
    Fail(std::move(message));
  }

  // `typed`: the option as it was typed, "-j" or "--jobs".
  void Record(const OptionDefinition& definition, std::string value, const std::string& typed) {
    if (definition.check != nullptr) {
      const std::string problem = definition.check(value);
      if (!problem.empty()) Fail(typed + " " + problem);
    }
    parsed_.values[definition.id].push_back(std::move(value));
  }

  // An option's value after it: the next argument.
  std::optional<std::string> Next() {
    if (i_ + 1 >= args_.size()) return std::nullopt;
    return args_[++i_];
  }

  const OptionDefinition* Find(std::string_view name, char shortName) const {
    for (const Option o : accepted_) {
      if (shortName != 0 ? Definition(o).shortName == shortName : Definition(o).name == name)
        return &Definition(o);
    }
    return nullptr;
  }

  // "--name", "--name=VALUE" or "--name VALUE".
  void Long(const std::string& arg) {
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
    const std::string typed = "--" + name;
    const OptionDefinition* definition = Find(name, 0);
    if (definition == nullptr) {
      std::vector<std::string_view> names;
      for (const Option o : accepted_)
        names.push_back(Definition(o).name);
      std::string message = "unknown option --" + Printable(name);
      if (const std::string_view close = core::Closest(name, names); !close.empty()) {
        message += "; did you mean --" + std::string(close) + "?";
      }
      FailUnknown(message, arg);
    } else if (definition->value.empty()) {
      if (equals != std::string::npos) Fail(typed + " takes no value");
      Record(*definition, "", typed);
    } else if (equals != std::string::npos) {
      Record(*definition, arg.substr(equals + 1), typed);
    } else if (const std::optional<std::string> value = Next()) {
      Record(*definition, *value, typed);
    } else {
      Fail(typed + " needs a value (" + std::string(definition->value) + ")");
    }
  }

  // A cluster of short options: flags, then at most one that takes the rest as its value.
  void Shorts(const std::string& arg) {
    for (std::size_t j = 1; j < arg.size(); ++j) {
      const OptionDefinition* definition = Find({}, arg[j]);
      if (definition == nullptr) {
        std::string message = "unknown option -" + Printable(arg.substr(j, 1));
        if (const OptionDefinition* near = Find({}, LookAlike(arg[j]))) {
          message += "; did you mean -" + std::string(1, near->shortName) + "?";
        }
        FailUnknown(message, arg);
        return;
      }
      const std::string typed = "-" + std::string(1, definition->shortName);
      if (definition->value.empty()) {
        Record(*definition, "", typed);
      } else if (j + 1 < arg.size()) {
        Record(*definition, arg.substr(j + 1), typed);
        return;
      } else if (const std::optional<std::string> value = Next()) {
        Record(*definition, *value, typed);
        return;
      } else {
        Fail(typed + " needs a value (" + std::string(definition->value) + ")");
        return;
      }
    }
  }

  std::span<const std::string> args_;
  std::span<const Option> accepted_;
  std::size_t i_ = 0;
  Parsed parsed_;
};

}  // namespace

Parsed Parse(std::span<const std::string> args, std::span<const Option> accepted) {
  return Parser(args, accepted).Run();
}

}  // namespace tvx::cli
