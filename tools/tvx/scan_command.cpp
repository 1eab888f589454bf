// tvx scan: every control of a known class in a compiled program, and what each decodes to.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "commands.h"
#include "inputs.h"
#include "json_output.h"
#include "positions.h"
#include "registry.h"
#include "scan.h"
#include "text_output.h"
#include "tvx/text.h"

namespace tvx::tool {

namespace {

// A class name (compared without regard to case) and the deliverable that decodes it.
struct KnownClass {
  std::string name;
  const DeliverableInfo* info;
};

// The class names the deliverables declare, then those of --class NAME=DELIVERABLE, which win.
std::optional<std::vector<KnownClass>> KnownClasses(const Arguments& args, Output& err) {
  std::vector<KnownClass> known;
  for (const std::string& option : args.Values("class")) {
    const std::size_t equals = option.find('=');
    if (equals == std::string::npos || equals == 0) {
      UsageError(err, "scan", "--class takes NAME=CONTROL, not \"" + Printable(option) + "\"");
      return std::nullopt;
    }
    const auto decoder = FindDecoder(option.substr(equals + 1));
    if (!decoder) {
      UsageError(err, "scan",
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

const DeliverableInfo* Lookup(const std::vector<KnownClass>& known, std::string_view className) {
  for (const KnownClass& k : known) {
    if (SameWord(k.name, className)) return k.info;
  }
  return nullptr;
}

struct Found {
  ControlRecord record;
  const DeliverableInfo* info;
  std::optional<DecodeOutput> decoded;
};

std::string Pad(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// One JSON object per record (JSON Lines).
void WriteJsonRecord(const Found& f, const std::string& path, bool decoded, Output& out) {
  Json record = JsonDocument("scan_record");
  AddJsonFile(record, path);
  AddJsonPlace(record, f.record.position);
  record["name"] = JsonBytes(f.record.name);
  record["class"] = JsonBytes(f.record.className);
  record["control"] = f.info->name;
  if (decoded && f.decoded) AddJsonDecode(record, *f.decoded);
  WriteJson(out, record, true);
}

}  // namespace

int ScanCommand(const Arguments& parsed, Streams& io) {
  Output& out = io.out;
  Output& err = io.err;
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
  const std::optional<std::vector<KnownClass>> known = KnownClasses(parsed, err);
  if (!known) return kUsage;
  const std::string& path = parsed.positional.front();
  ReadOnlyFiles files;
  InputSource* file = files.OpenInput(path);
  if (file == nullptr) {
    err << "tvx scan: cannot read \"" << PrintablePath(path) << "\": " << files.error() << "\n";
    return kIoError;
  }
  std::optional<std::filesystem::path> outDir;
  if (const std::optional<std::string> dir = parsed.Value("out")) {
    std::error_code error;
    std::filesystem::create_directories(*dir, error);
    if (error) {
      err << "tvx scan: cannot make the folder \"" << PrintablePath(*dir)
          << "\": " << error.message() << "\n";
      return kIoError;
    }
    outDir = *dir;
  }

  std::vector<Found> found;
  std::size_t others = 0;
  ScanRecords(*file, [&](const ControlRecord& record) {
    if (const DeliverableInfo* info = Lookup(*known, record.className)) {
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
      f.decoded =
          RunDecode(*decoder, MakeRequest(path, f.record.position, parsed.Has("offsets")), files);
      early = early || f.decoded->ended != DecodeEnd::kEndCode;
    }
  }

  // Lines end as the blocks' own lines do when piped (see text_output.h).
  const std::string_view eol = parsed.Has("decode") ? FileLineEnd(out) : "\n";
  const auto line = [](const std::string& position, const std::string& offset,
                       const std::string& name, const std::string& className,
                       std::string_view control) {
    return Pad(position, 10) + "  " + Pad(offset, 10) + "  " + Pad(name, 16) + "  " +
           Pad(className, 24) + "  " + std::string(control);
  };
  if (!parsed.Has("json") && out.terminal() && !found.empty()) {
    out << line("position", "offset", "name", "class", "control") << eol;
  }
  for (const Found& f : found) {
    if (parsed.Has("json")) {
      WriteJsonRecord(f, path, decode, out);
      continue;
    }
    const std::string text =
        Printable(line(NumberText(f.record.position), OffsetText(f.record.position), f.record.name,
                       f.record.className, f.info->name));
    if (!parsed.Has("decode")) {
      out << text << eol;
      continue;
    }
    const DecodeOutput& d = *f.decoded;
    out << "== " << text << ": " << StopCode(d.ended) << " ==" << eol;
    if (parsed.Has("listing")) ShowLines(out, d.listing);
    ShowLines(out, d.block);
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
          err << "tvx scan: cannot write \"" << PrintablePath((*outDir / name).string())
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
  if (parsed.Has("json")) {
    Json total = JsonDocument("scan_summary");
    total["files"] = 1;
    total["records"] = found.size();
    total["other_classes"] = others;
    WriteJson(out, total, true);
  }
  if (!io.quiet) err << "tvx scan: " << PrintablePath(path) << ": " << summary << "\n";
  if (!out.Finish()) {
    err << "tvx scan: cannot write to standard output: " << out.error() << "\n";
    return kIoError;
  }
  if (early) {
    err << "tvx scan: the decode of a record ended early\n";
    return kEndedEarly;
  }
  return kOk;
}

}  // namespace tvx::tool
