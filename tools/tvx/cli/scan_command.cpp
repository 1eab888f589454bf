// tvx scan: every control record in compiled programs, folders of them or any bytes, and what each
// decodes to.
#include <algorithm>
#include <filesystem>
#include <set>

#include "codes.h"
#include "collection.h"
#include "commands.h"
#include "decode_text.h"
#include "json.h"
#include "picture_format.h"
#include "progress.h"
#include "scan_text.h"
#include "support.h"
#include "terminal.h"
#include "text.h"
#include "words.h"

namespace tvx::cli {

namespace fs = std::filesystem;
using O = Option;

namespace {

struct Settings {
  bool decode = false;  // each record's block (and listing) after its line
  bool listing = false;
  bool offsets = false;
  bool json = false;
  bool several = false;  // lines start with the file's path
  bool picked = false;   // only the records at the positions given
  std::optional<fs::path> out;
};

// Where --out saves the files of `path`'s records when there are several inputs: the path under
// DIR without its root, ".." as "__" ("-" as "standard-input").
fs::path OutputFolder(const fs::path& dir, const std::string& path) {
  if (path == "-") return dir / "standard-input";
  fs::path folder = dir;
  for (const fs::path& part : core::FileSystemPath(path).relative_path()) {
    if (part == "..") {
      folder /= "__";
    } else if (!part.empty() && part != ".") {
      folder /= part;
    }
  }
  return folder;
}

// Everything the scan finds, shown as it comes.
class ScanOutput final : public core::ScanSink {
 public:
  ScanOutput(Io& io, const Settings& settings)
      : io_(io), settings_(settings), progress_(io.err, !io.quiet && IsTerminal(stderr)) {}

  void NotAProgram(const std::string& file, bool named) override {
    if (!named || io_.quiet) return;
    progress_.Erase();
    io_.err << "tvx scan: " << render::PrintablePath(file, io_.utf8)
            << ": not a Windows program (no MZ and PE header): scanned as raw bytes\n";
  }

  void Record(const core::FoundRecord& record) override {
    progress_.Erase();
    counted_ = false;
    if (settings_.picked) found.insert(record.position);
    const bool decodable = record.control != nullptr && record.input != nullptr;
    if (settings_.json) {
      const render::DecodeRun run = [&](core::DecodeSink& sink) { return Decode(record, sink); };
      render::WriteScanRecordJson(io_.out, record,
                                  settings_.decode && record.control != nullptr ? &run : nullptr);
    } else if (settings_.decode) {
      Show(record, decodable);
    } else if (io_.out.Terminal()) {
      if (!headed_) io_.out << render::ScanHeader() << "\n";
      headed_ = true;
      if (settings_.several && record.file != lastFile_) {
        io_.out << render::ScanFileLine(record.file, io_.utf8) << "\n";
      }
      lastFile_ = record.file;
      io_.out << render::ScanTerminalLine(record) << "\n";
    } else {
      io_.out << render::ScanLine(record, settings_.several, io_.utf8) << "\n";
    }
    if (settings_.out && decodable) Save(record);
  }

  void Nearby(const core::FoundRecord& record) override { nearby.insert(record.position); }

  void FileDone(const std::string&, std::uint64_t) override { saveFailed_ = false; }

  void Unreadable(const std::string& file, const core::IoError& error) override {
    progress_.Erase();
    io_.err << "tvx scan: cannot read " << FileWords(file, io_) << ": " << error.reason << "\n";
    saveFailed_ = false;
  }

  bool Stopped() override { return io_.out.Failed(); }

  void Progress(std::uint64_t bytes, std::uint64_t files, std::uint64_t records) override {
    progress_.Update(bytes, files, records);
  }

  void Done() { progress_.Erase(); }
  std::uint64_t endedEarly = 0;
  std::uint64_t notWritten = 0;
  // With --position or --file-offset, the places records were found at (only those given), and
  // the places near them (ScanOptions::nearby).
  std::set<core::Position> found;
  std::set<core::Position> nearby;

 private:
  core::DecodeResult Decode(const core::FoundRecord& record, core::DecodeSink& sink) {
    core::StreamDecode decode(decoders_.For(*record.control), *record.input, record.position,
                              settings_.offsets);
    const core::DecodeResult result = decode.Run(sink);
    if (result.stop.ended != DecodeEnd::kEndCode && !counted_) {
      counted_ = true;  // once per record, however often it is decoded
      ++endedEarly;
    }
    return result;
  }

  void Show(const core::FoundRecord& record, bool decodable) {
    // Piped, every line ends with CR LF, the records' lines as the blocks' own.
    const std::string_view eol = render::FileLineEnd(io_.out);
    const std::string line = render::ScanLine(record, settings_.several, io_.utf8);
    if (!decodable) {
      io_.out << "== " << line << ": not decoded ==" << eol;
      return;
    }
    core::DecodeSink none;
    const core::DecodeResult result = Decode(record, none);
    io_.out << "== " << line << ": " << render::StopCode(result.stop.ended) << " ==" << eol;
    render::DecodeText text(io_.out, settings_.listing, true);
    Decode(record, text);
  }

  // The record's listing, block and picture as files.
  void Save(const core::FoundRecord& record) {
    if (saveFailed_) return;  // told once per file
    const fs::path dir =
        settings_.several ? OutputFolder(*settings_.out, record.file) : *settings_.out;
    std::error_code error;
    fs::create_directories(dir, error);
    const std::string stem =
        core::PathText(dir / (record.name + "-" + std::to_string(record.position)));
    bool ok = true;
    const auto save = [&](const std::string& name, const auto& part) {
      if (ok && !WriteFile("scan", stem + name, part, io_)) ok = false;
    };
    // Each file from a decode of its own, so that no part is held whole.
    save(".listing.txt", [&](render::Writer& file) {
      render::DecodeText text(file, true, false);
      Decode(record, text);
    });
    save(".block.txt", [&](render::Writer& file) {
      render::DecodeText text(file, false, true);
      Decode(record, text);
    });
    core::DecodeSink none;
    const core::DecodeResult result = Decode(record, none);
    if (result.pictureSize) {
      struct Head final : core::DecodeSink {
        void Picture(const core::TextRef& bytes) override { head = bytes.Head(64); }
        std::string head;
      } head;
      Decode(record, head);
      save("." + std::string(core::PictureExtension(head.head)), [&](render::Writer& file) {
        render::DecodeText text(file, false, false, &file);
        Decode(record, text);
      });
    }
    if (!ok) {
      ++notWritten;
      saveFailed_ = true;
    }
  }

  Io& io_;
  const Settings& settings_;
  ProgressLine progress_;
  core::Decoders decoders_;
  bool headed_ = false;
  std::string lastFile_;
  bool saveFailed_ = false;
  bool counted_ = false;
};

// A hexadecimal --position that found nothing is most likely an offset pasted from the offset
// column: the positions one past them are looked at too, and named when a record starts there.
std::vector<core::Position> OffsetsMeant(const Parsed& args) {
  std::vector<core::Position> meant;
  for (const std::string& text : args.Values(O::kPosition)) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
      meant.push_back(core::ParsePosition(text).position + 1);
  }
  return meant;
}

void HintOffsets(const Parsed& args, const ScanOutput& output, Io& io) {
  for (const std::string& text : args.Values(O::kPosition)) {
    const core::Position position = core::ParsePosition(text).position;
    if (output.found.count(position) != 0 || output.nearby.count(position + 1) == 0) continue;
    io.err << "tvx scan: no record starts at position " << render::Printable(text)
           << "; one starts at offset " << render::Printable(text)
           << " (positions count from 1, offsets from 0): --file-offset " << render::Printable(text)
           << " picks it\n";
  }
}

}  // namespace

int ScanCommand(const Parsed& args, Io& io) {
  if (args.operands.empty()) {
    return UsageError(io.err, "scan",
                      "a PATH is missing (a file, a folder, or - for standard input)");
  }
  if (args.Has(O::kListing) && !args.Has(O::kDecode)) {
    return UsageError(io.err, "scan", "--listing goes with --decode");
  }
  if (args.Has(O::kOut) && (args.Has(O::kDecode) || args.Has(O::kJson))) {
    return UsageError(io.err, "scan",
                      "--out writes files; it goes with neither --decode nor --json");
  }
  if (args.Has(O::kOffsets) && !args.Has(O::kDecode) && !args.Has(O::kOut)) {
    return UsageError(io.err, "scan", "--offsets goes with --decode or --out (the listings)");
  }
  core::ScanOptions options = SelectionOf(args);
  Settings settings;
  settings.decode = args.Has(O::kDecode);
  settings.listing = args.Has(O::kListing);
  settings.offsets = args.Has(O::kOffsets);
  settings.json = args.Has(O::kJson);
  settings.several = core::Collection::Several(args.operands);
  if (const std::optional<std::string> dir = args.Value(O::kOut)) {
    settings.out = core::FileSystemPath(*dir);
  }
  options.keepInputs = settings.decode || settings.out;
  options.nearby = OffsetsMeant(args);
  settings.picked = !options.positions.empty();

  if (io.checkOnly) return kOk;
  ScanOutput output(io, settings);
  const core::ScanTotals totals = core::Scan(args.operands, options, output);
  output.Done();
  if (settings.json) render::WriteScanSummaryJson(io.out, totals);
  // A scan ended by its output says so, and no more.
  if (!io.out.Finish()) {
    io.err << "tvx scan: cannot write to standard output: " << io.out.error() << "\n";
    return kIoError;
  }
  if (!io.quiet && (totals.files > 0 || settings.several)) {
    io.err << "tvx scan: "
           << render::ScanSummary(totals, settings.several, args.operands.front(), options.all,
                                  io.utf8)
           << "\n";
  }
  if (!io.quiet) HintOffsets(args, output, io);
  if (totals.unreadable > 0 || output.notWritten > 0) return kIoError;
  if (output.endedEarly > 0) {
    io.err << "tvx scan: " << render::Plural(output.endedEarly, "decode")
           << " of the records ended early (see their stop)\n";
    return kEndedEarly;
  }
  return kOk;
}

}  // namespace tvx::cli
