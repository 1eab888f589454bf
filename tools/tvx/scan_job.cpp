#include "scan_job.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include "collection.h"
#include "inputs.h"
#include "json_output.h"
#include "picture_format.h"
#include "positions.h"
#include "registry.h"
#include "scan.h"
#include "scan_input.h"
#include "text_output.h"
#include "tvx/text.h"

namespace tvx::tool {

namespace fs = std::filesystem;

namespace {

// The first bytes, in which a program's MZ and PE headers are looked for.
constexpr std::size_t kHead = 64 << 10;

// Standard input copied to a temporary file, for decodes that read it at positions; removed when
// done with.
class Spool {
 public:
  ~Spool() {
    if (!path_.empty()) std::remove(path_.c_str());
  }
  bool Fill(std::string* why) {
    std::FILE* file = CreateTemporaryFile(&path_, why);
    if (file == nullptr) return false;
    std::unique_ptr<SequentialInput> input = StandardInput();
    std::vector<std::uint8_t> buffer(RecordFinder::kPiece);
    SequentialInput::Part part;
    bool ok = true;
    while ((ok = input->Next(buffer, &part, why)) && part.read > 0) {
      if (std::fwrite(buffer.data(), 1, part.read, file) != part.read) {
        *why = "cannot write the temporary file " + path_;
        ok = false;
        break;
      }
    }
    return std::fclose(file) == 0 && ok;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// One input's scan: every record the finder hands over, picked, shown, decoded and saved.
class Job {
 public:
  Job(const std::string& path, const ScanSettings& settings, ScanTotals& totals, TaskOutput& output)
      : path_(path), settings_(settings), totals_(totals), output_(output) {}

  void Run() {
    std::string why;
    Spool spool;
    std::unique_ptr<SequentialInput> input;
    decodePath_ = path_;
    if (path_ == "-" && (settings_.decode || settings_.out)) {
      if (spool.Fill(&why)) input = OpenSequential(spool.path(), &why);
      decodePath_ = spool.path();
    } else {
      input = path_ == "-" ? StandardInput() : OpenSequential(path_, &why);
    }
    if (input == nullptr || !Read(*input, &why)) {
      output_.Err("tvx scan: cannot read \"" + PrintablePath(path_) + "\": " + why + "\n");
      ++totals_.unreadable;
    } else {
      ++totals_.files;
    }
    output_.Count(0, 1, 0);
  }

 private:
  bool Read(SequentialInput& input, std::string* why) {
    RecordFinder finder([this](const ControlRecord& record) { Found(record); });
    std::size_t filled = 0;
    bool headSeen = false;
    for (SequentialInput::Part part;;) {
      const std::span<std::uint8_t> space = finder.Space().first(RecordFinder::kPiece);
      if (!input.Next(space.subspan(filled), &part, why)) return false;
      filled += part.read;
      if (part.read > 0 && !headSeen && filled < kHead) continue;  // the head comes whole
      if (!headSeen) {
        headSeen = true;
        if (!IsWindowsProgram({space.data(), filled}) && !settings_.quiet) {
          output_.Err("tvx scan: " + PrintablePath(path_) +
                      ": not a Windows program (no MZ and PE header): scanned as raw bytes\n");
        }
      }
      finder.Commit(filled);
      finder.Zeros(part.zeros);
      totals_.bytes += filled + part.zeros;
      output_.Count(filled + part.zeros, 0, 0);
      filled = 0;
      if (part.read == 0 && part.zeros == 0) break;
    }
    finder.Finish();
    return true;
  }

  void Found(const ControlRecord& record) {
    if (!settings_.names.empty() &&
        std::none_of(settings_.names.begin(), settings_.names.end(),
                     [&](const std::string& name) { return SameWord(name, record.name); })) {
      return;
    }
    if (!settings_.positions.empty() &&
        std::find(settings_.positions.begin(), settings_.positions.end(), record.position) ==
            settings_.positions.end()) {
      return;
    }
    const DeliverableInfo* info = LookupClass(settings_.known, record.className);
    if (info == nullptr) ++totals_.others;
    if (info == nullptr && !settings_.all) return;
    ++totals_.records;
    output_.Count(0, 0, 1);
    if (info != nullptr) {
      const auto& all = AllDeliverables();
      const auto at = std::find_if(all.begin(), all.end(),
                                   [&](const DeliverableInfo* d) { return d->name == info->name; });
      if (at != all.end()) ++totals_.perDeliverable[static_cast<std::size_t>(at - all.begin())];
    }
    std::optional<DecodeOutput> decoded;
    if (info != nullptr && (settings_.decode || settings_.out)) decoded = Decode(*info, record);
    if (settings_.json) {
      JsonRecord(record, info, decoded);
    } else {
      Text(record, info, decoded);
    }
    if (settings_.out && decoded) Save(record, *decoded);
  }

  DecodeOutput Decode(const DeliverableInfo& info, const ControlRecord& record) {
    // Decoded in this process, from the same file, as the plug-in decodes a request for the
    // record's position.
    std::unique_ptr<Decoder>& decoder = decoders_[info.name];
    if (!decoder) decoder = FindDecoder(info.name);
    DecodeOutput decoded =
        RunDecode(*decoder, MakeRequest(decodePath_, record.position, settings_.offsets), files_);
    if (decoded.ended != DecodeEnd::kEndCode) totals_.endedEarly = true;
    return decoded;
  }

  void JsonRecord(const ControlRecord& record, const DeliverableInfo* info,
                  const std::optional<DecodeOutput>& decoded) {
    Json line = JsonDocument("scan_record");
    AddJsonFile(line, path_);
    AddJsonPlace(line, record.position);
    line["name"] = JsonBytes(record.name);
    line["class"] = JsonBytes(record.className);
    line["control"] = info != nullptr ? Json(info->name) : Json(nullptr);
    if (settings_.decode && decoded) AddJsonDecode(line, *decoded);
    output_.Out(JsonText(line, true));
  }

  void Text(const ControlRecord& record, const DeliverableInfo* info,
            const std::optional<DecodeOutput>& decoded) {
    const std::string fields =
        Columns(NumberText(record.position), OffsetText(record.position), record.name,
                record.className, info != nullptr ? std::string(info->name) : "-");
    const std::string line =
        (settings_.several ? PrintablePath(path_) + ":" : std::string()) + Printable(fields);
    if (!settings_.decode) {
      output_.Out(line + "\n");
      return;
    }
    // Piped, every line ends with CR LF, the records' lines as the blocks' own.
    const std::string eol = output_.terminal() ? "\n" : "\r\n";
    if (!decoded) {
      output_.Out("== " + line + ": not decoded ==" + eol);
      return;
    }
    output_.Out("== " + line + ": " + std::string(StopCode(decoded->ended)) + " ==" + eol);
    for (const std::string* text : {settings_.listing ? &decoded->listing : nullptr,
                                    static_cast<const std::string*>(&decoded->block)}) {
      if (text == nullptr) continue;
      if (!output_.terminal()) {
        output_.Out(*text);
        continue;
      }
      for (const std::string_view l : CrLfLines(*text))
        output_.Out(Printable(l) + "\n");
    }
  }

  void Save(const ControlRecord& record, const DecodeOutput& decoded) {
    if (saveFailed_) return;  // told once per input
    const fs::path dir =
        settings_.several ? OutputFolder(*settings_.out, path_) : fs::path(*settings_.out);
    std::error_code error;
    fs::create_directories(dir, error);
    const std::string stem = record.name + "-" + NumberText(record.position);
    const std::pair<std::string, const std::string*> saved[] = {
        {stem + ".listing.txt", &decoded.listing},
        {stem + ".block.txt", &decoded.block},
        {stem + "." + std::string(decoded.picture ? PictureExtension(*decoded.picture) : ""),
         decoded.picture ? &*decoded.picture : nullptr}};
    for (const auto& [name, bytes] : saved) {
      std::string why;
      const std::string file = PathText(dir / name);
      if (bytes != nullptr && !WriteWholeFile(file, *bytes, &why)) {
        output_.Err("tvx scan: cannot write \"" + PrintablePath(file) + "\": " + why + "\n");
        ++totals_.notWritten;
        saveFailed_ = true;
        return;
      }
    }
  }

  const std::string& path_;
  const ScanSettings& settings_;
  ScanTotals& totals_;
  TaskOutput& output_;
  std::string decodePath_;
  ReadOnlyFiles files_;
  std::map<std::string_view, std::unique_ptr<Decoder>> decoders_;  // by deliverable name
  bool saveFailed_ = false;
};

}  // namespace

void ScanInput(const std::string& path, const ScanSettings& settings, ScanTotals& totals,
               TaskOutput& output) {
  Job(path, settings, totals, output).Run();
}

std::string Columns(const std::string& position, const std::string& offset, const std::string& name,
                    const std::string& className, const std::string& control) {
  const auto pad = [](const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
  };
  return pad(position, 10) + "  " + pad(offset, 10) + "  " + pad(name, 16) + "  " +
         pad(className, 24) + "  " + control;
}

// The class names the deliverables declare, then those of --class NAME=DELIVERABLE, which win.
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
  const auto it = std::find_if(known.begin(), known.end(),
                               [&](const KnownClass& k) { return SameWord(k.name, className); });
  return it == known.end() ? nullptr : it->info;
}

fs::path OutputFolder(const fs::path& dir, const std::string& path) {
  if (path == "-") return dir / "standard-input";
  fs::path folder = dir;
  for (const fs::path& part : fs::path(path).relative_path()) {
    if (part == "..") {
      folder /= "__";
    } else if (!part.empty() && part != ".") {
      folder /= part;
    }
  }
  return folder;
}

}  // namespace tvx::tool
