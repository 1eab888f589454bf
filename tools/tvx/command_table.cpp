#include <algorithm>

#include "commands.h"
#include "text_output.h"

namespace tvx::tool {

namespace {

constexpr AcceptedOption kFileOffset{"file-offset", true};

const std::vector<Command>& Table() {
  static const std::vector<Command> table = {
      {"decode",
       "tvx decode CONTROL FILE POSITION [--offsets] [--block | --listing] [--picture PATH] "
       "[--json]",
       "the listing, then the property block, exactly as the control's plug-in writes them",
       {{"offsets"}, {"json"}, {"picture", true}, kFileOffset, {"block"}, {"listing"}},
       DecodeDetails,
       DecodeCommand},
      {"explain",
       "tvx explain CONTROL FILE POSITION [--offsets] [--limit N] [--json]",
       "every value of the property stream with its position, bytes and meaning, and each\n"
       "property-block line with the bytes it came from",
       {{"offsets"}, {"json"}, {"limit", true}, kFileOffset},
       ExplainDetails,
       ExplainCommand},
      {"scan",
       "tvx scan PATH... [--class NAME=CONTROL]... [--all] [--name NAME]... [--position "
       "POSITION]... [--follow] [-j N] [--decode [--listing] | --out DIR] [--offsets] [--json]",
       "every control of a known class in compiled programs, folders of them or any bytes,\n"
       "and what each decodes to",
       {{"class", true},
        {"decode"},
        {"listing"},
        {"out", true},
        {"json"},
        {"offsets"},
        {"all"},
        {"name", true},
        {"position", true},
        {"follow"},
        {"jobs", true, 'j'}},
       ScanDetails,
       ScanCommand},
      {"host",
       "tvx host PLUGIN FILE POSITION [--offsets] [--timeout SECONDS]",
       "one request to a built plug-in program through its exchange channel",
       {{"offsets"}, kFileOffset, {"timeout", true}},
       HostDetails,
       HostCommand},
      {"report",
       "tvx report PATH... -o FILE.html [--class NAME=CONTROL]... [--stream "
       "CONTROL:POSITION:FILE]... [--offsets]",
       "one self-contained HTML page of the programs' controls: blocks, listings, pictures and\n"
       "the stream bytes each line came from",
       {{"output", true, 'o'}, {"class", true}, {"stream", true}, {"offsets"}},
       ReportDetails,
       ReportCommand},
      {"help",
       "tvx help [COMMAND]",
       "this overview, or a command's help",
       {},
       HelpDetails,
       HelpCommand},
  };
  return table;
}

constexpr AcceptedOption kCommon[] = {{"color", true}, {"quiet", false, 'q'}};

std::vector<std::string_view> CommandNames() {
  std::vector<std::string_view> names;
  for (const Command& c : Table())
    names.push_back(c.name);
  return names;
}

}  // namespace

std::span<const Command> Commands() {
  return Table();
}

const Command* FindCommand(std::string_view name) {
  const auto it = std::find_if(Table().begin(), Table().end(),
                               [name](const Command& c) { return c.name == name; });
  return it == Table().end() ? nullptr : &*it;
}

std::span<const AcceptedOption> CommonOptions() {
  return kCommon;
}

int RunTvx(const std::vector<std::string>& args, Output& out, Output& err) {
  if (args.empty()) {
    std::string names;
    for (const std::string_view name : CommandNames())
      names += (names.empty() ? "" : ", ") + std::string(name);
    return UsageError(err, "", "a command is missing (" + names + ")");
  }
  const std::string& name = args.front();
  if (name == "--help" || name == "-h") {
    Streams io{out, err};
    return HelpCommand({}, io);
  }
  if (name == "--version") {
    out << "tvx " << TVX_VERSION << "\n";
    return kOk;
  }
  const Command* command = FindCommand(name);
  if (command == nullptr) {
    std::string message = "unknown command \"" + Printable(name) + "\"";
    const std::vector<std::string_view> names = CommandNames();
    if (const std::string_view close = Closest(name, names); !close.empty()) {
      message += "; did you mean '" + std::string(close) + "'?";
    }
    return UsageError(err, "", message);
  }
  std::vector<AcceptedOption> accepted = command->options;
  accepted.insert(accepted.end(), std::begin(kCommon), std::end(kCommon));
  const Arguments parsed =
      ParseArguments(std::vector<std::string>(args.begin() + 1, args.end()), accepted);
  Streams io{out, err};
  if (parsed.help) {
    out << "usage: " << command->synopsis << "\n\n" << command->details();
    return kOk;
  }
  if (!parsed.error.empty()) return UsageError(err, command->name, parsed.error);
  io.quiet = parsed.Has("quiet");
  const std::optional<bool> colour = ColourWanted(out, parsed.Value("color").value_or(""));
  if (!colour) {
    return UsageError(err, command->name, "--color takes auto, always or never");
  }
  io.colour = *colour;
  return command->run(parsed, io);
}

}  // namespace tvx::tool
