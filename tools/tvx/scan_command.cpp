// tvx scan: every control of a known class in a compiled program, and what each decodes to.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "commands.h"
#include "common.h"
#include "registry.h"
#include "scan.h"
#include "tvx/text.h"

namespace tvx::tool {

std::optional<std::vector<KnownClass>> KnownClasses(const Arguments& args, std::string_view command,
                                                    Output& err) {
  std::vector<KnownClass> known;
  for (const std::string& option : args.Values("class")) {
    const std::size_t equals = option.find('=');
    if (equals == std::string::npos || equals == 0) {
      UsageError(err, command, "--class takes NAME=CONTROL, not \"" + Printable(option) + "\"");
      return std::nullopt;
    }
    const auto decoder = FindDecoder(option.substr(equals + 1));
    if (!decoder) {
      UsageError(err, command,
                 "--class " + Printable(option) + ": no control \"" +
                     Printable(option.substr(equals + 1)) + "\"");
      return std::nullopt;
    }
    known.push_back({option.substr(0, equals), &decoder->Info()});
  }
  for (const DeliverableInfo* info : AllDeliverables()) {
    std::string_view names = info->classNames;
    while (!names.empty()) {
      const std::size_t blank = names.find(' ');
      known.push_back({std::string(names.substr(0, blank)), info});
      names.remove_prefix(blank == std::string_view::npos ? names.size() : blank + 1);
    }
  }
  return known;
}

const DeliverableInfo* LookupClass(const std::vector<KnownClass>& known,
                                   std::string_view className) {
  for (const KnownClass& k : known) {
    if (SameWord(k.name, className)) return k.info;
  }
  return nullptr;
}

namespace {

struct Found {
  ControlRecord record;
  const DeliverableInfo* info;
  std::optional<DecodeOutput> decoded;
};

std::string OffsetText(double position) {
  return "0x" + HexText(position - 1);
}

std::string Pad(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

void WriteJson(const std::vector<Found>& found, bool decoded, Output& out) {
  out << "[";
  for (std::size_t i = 0; i < found.size(); ++i) {
    const Found& f = found[i];
    out << (i ? ",\n " : "\n ") << "{\"position\": " << NumberText(f.record.position)
        << ", \"offset\": " << NumberText(f.record.position - 1)
        << ", \"name\": " << JsonString(f.record.name)
        << ", \"class\": " << JsonString(f.record.className)
        << ", \"control\": " << JsonString(f.info->name);
    if (decoded && f.decoded) out << JsonDecodeMembers(*f.decoded, "  ");
    out << "}";
  }
  out << (found.empty() ? "]\n" : "\n]\n");
}

}  // namespace

int ScanCommand(const std::vector<std::string>& args, Output& out, Output& err) {
  const Arguments parsed = ParseArguments(
      args, {{"class", true}, {"decode"}, {"listing"}, {"out", true}, {"json"}, {"offsets"}});
  if (parsed.help) return Help("scan", out, err);
  if (!parsed.error.empty()) return UsageError(err, "scan", parsed.error);
  if (parsed.positional.size() != 1) {
    return UsageError(
        err, "scan",
        "expected FILE, got " + std::to_string(parsed.positional.size()) + " arguments");
  }
  if (parsed.Has("listing") && !parsed.Has("decode")) {
    return UsageError(err, "scan", "--listing goes with --decode");
  }
  if (parsed.Has("out") && (parsed.Has("decode") || parsed.Has("json"))) {
    return UsageError(err, "scan", "--out writes files; it goes with neither --decode nor --json");
  }
  const std::optional<std::vector<KnownClass>> known = KnownClasses(parsed, "scan", err);
  if (!known) return kUsage;
  const std::string& path = parsed.positional.front();
  ReadOnlyFiles files;
  InputSource* file = files.OpenInput(path);
  if (file == nullptr) {
    err << "tvx scan: cannot read \"" << Printable(path) << "\": " << files.error() << "\n";
    return kIoError;
  }
  std::optional<std::filesystem::path> outDir;
  if (const std::optional<std::string> dir = parsed.Value("out")) {
    std::error_code error;
    std::filesystem::create_directories(*dir, error);
    if (error) {
      err << "tvx scan: cannot make the folder \"" << Printable(*dir) << "\": " << error.message()
          << "\n";
      return kIoError;
    }
    outDir = *dir;
  }

  std::vector<Found> found;
  std::size_t others = 0;
  ScanRecords(*file, [&](const ControlRecord& record) {
    if (const DeliverableInfo* info = LookupClass(*known, record.className)) {
      found.push_back({record, info, std::nullopt});
    } else {
      ++others;
    }
  });

  // Decoded in this process, from the same file, as the plug-in decodes a request for the
  // record's position.
  const bool decode = parsed.Has("decode") || outDir;
  bool early = false;
  if (decode) {
    std::map<std::string_view, std::unique_ptr<Decoder>> decoders;  // by deliverable name
    for (Found& f : found) {
      std::unique_ptr<Decoder>& decoder = decoders[f.info->name];
      if (!decoder) decoder = FindDecoder(f.info->name);
      Request request;
      request.valid = true;
      request.path = path;
      request.start = f.record.position;
      request.offsets = parsed.Has("offsets");
      f.decoded = RunDecode(*decoder, request, files);
      early = early || f.decoded->ended != DecodeEnd::kEndCode;
    }
  }

  if (parsed.Has("json")) {
    WriteJson(found, decode, out);
  } else {
    for (const Found& f : found) {
      const std::string line = Pad(NumberText(f.record.position), 10) + "  " +
                               Pad(OffsetText(f.record.position), 10) + "  " +
                               Pad(f.record.name, 16) + "  " + Pad(f.record.className, 24) + "  " +
                               std::string(f.info->name);
      if (!parsed.Has("decode")) {
        out << Printable(line) << "\n";
        continue;
      }
      const DecodeOutput& d = *f.decoded;
      out << "== " << Printable(line) << ": " << EndedName(d.ended) << " ==\n";
      if (parsed.Has("listing")) ShowLines(out, d.listing);
      ShowLines(out, d.block);
    }
  }
  if (outDir) {
    for (const Found& f : found) {
      const std::string stem = f.record.name + "-" + NumberText(f.record.position);
      std::string error;
      const DecodeOutput& d = *f.decoded;
      const std::pair<std::string, const std::string*> files[] = {
          {stem + ".listing.txt", &d.listing},
          {stem + ".block.txt", &d.block},
          {stem + ".picture", d.picture ? &*d.picture : nullptr}};
      for (const auto& [name, bytes] : files) {
        if (bytes != nullptr && !WriteWholeFile((*outDir / name).string(), *bytes, &error)) {
          err << "tvx scan: cannot write \"" << Printable((*outDir / name).string())
              << "\": " << error << "\n";
          return kIoError;
        }
      }
    }
  }

  // The summary: records per deliverable, in the deliverables' order.
  std::string summary = std::to_string(found.size()) + " record" + (found.size() == 1 ? "" : "s");
  std::string each;
  for (const DeliverableInfo* info : AllDeliverables()) {
    const auto n = std::count_if(found.begin(), found.end(),
                                 [info](const Found& f) { return f.info->name == info->name; });
    if (n > 0)
      each += (each.empty() ? ": " : ", ") + std::to_string(n) + " " + std::string(info->name);
  }
  summary += each;
  if (others > 0) summary += "; " + std::to_string(others) + " of other classes, not listed";
  err << "tvx scan: " << Printable(path) << ": " << summary << "\n";
  if (!out.Finish()) {
    err << "tvx scan: cannot write to standard output: " << out.error() << "\n";
    return kIoError;
  }
  if (early) {
    err << "tvx scan: the decode of a record ended early (see \"ended\")\n";
    return kEndedEarly;
  }
  return kOk;
}

}  // namespace tvx::tool
