// tvx scan: every control record in compiled programs, folders of them or any bytes, and what each
// decodes to.
#include <algorithm>
#include <filesystem>
#include <set>

#include "collection.h"
#include "commands.h"
#include "decode_text.h"
#include "fields.h"
#include "json.h"
#include "names.h"
#include "picture_format.h"
#include "progress.h"
#include "record_table.h"
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
  bool several = false;          // lines start with the file's path
  bool picked = false;           // only the records at the positions given
  bool indexFromDecode = false;  // each record's index is its decode's (the scan reads none)
  std::optional<fs::path> out;
  std::vector<const DeliverableInfo*> controls;    // only the records of these controls
  std::vector<std::string> has;                    // only those whose stream holds these
  std::optional<std::vector<core::Field>> fields;  // a table of these
  render::TableFormat format = render::TableFormat::kCsv;
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
      : io_(io), settings_(settings), progress_(io.err, !io.quiet && IsTerminal(stderr)) {
    if (settings.fields) {
      table_.emplace(io.out, *settings.fields, settings.format, io.utf8);
    }
  }

  void NotAProgram(const std::string& file, bool named) override {
    if (!named || io_.quiet) return;
    progress_.Erase();
    io_.err << "tvx scan: " << render::PrintablePath(file, io_.utf8)
            << ": not a Windows program (no MZ and PE header): scanned as raw bytes\n";
  }

  void Record(const core::FoundRecord& record) override {
    progress_.Erase();
    if (settings_.picked) found.insert(record.position);
    if (!settings_.controls.empty() &&
        std::find(settings_.controls.begin(), settings_.controls.end(), record.control) ==
            settings_.controls.end()) {
      return;
    }
    const bool decodable = record.control != nullptr && record.input != nullptr;
    std::optional<core::DecodedRecord> decoded;
    if (decodable && (settings_.decode || !settings_.has.empty() ||
                      (settings_.fields && core::NeedsDecode(*settings_.fields)))) {
      decoded = Decode(record, settings_.listing || (settings_.json && settings_.decode));
    }
    for (const std::string& path : settings_.has) {
      if (!decoded || !core::HoldsProperty(*decoded, path)) return;
    }
    if (decoded && settings_.indexFromDecode) {
      // Decoding every record, the scan left the index to the decode (the same number).
      core::FoundRecord indexed = record;
      indexed.index = decoded->Index();
      Put(indexed, &*decoded);
    } else {
      Put(record, decoded ? &*decoded : nullptr);
    }
  }

  // A record as the output shows it, with what it decodes to, if it was decoded.
  void Put(const core::FoundRecord& record, const core::DecodedRecord* decoded) {
    if (table_) {
      table_->Add(record, decoded);
    } else if (settings_.json) {
      render::WriteScanRecordJson(io_.out, record, settings_.decode ? decoded : nullptr);
    } else if (settings_.decode) {
      Show(record, decoded);
    } else if (io_.out.Terminal()) {
      if (!headed_) io_.out << render::ScanHeader() << "\n";
      headed_ = true;
      if (record.file != lastFile_) {
        if (settings_.several) io_.out << render::ScanFileLine(record.file, io_.utf8) << "\n";
        lastForm_.reset();
        formShown_ = false;
      }
      lastFile_ = record.file;
      // A line for each form before its records; once one was shown, one for records in none.
      const std::optional<std::uint64_t> form =
          record.form ? std::optional(record.form->offset) : std::nullopt;
      if (form != lastForm_ && (form || formShown_)) {
        io_.out << "  " << render::ScanFormLine(record.form) << "\n";
        formShown_ = true;
      }
      lastForm_ = form;
      io_.out << render::ScanTerminalLine(record) << "\n";
    } else {
      io_.out << render::ScanLine(record, settings_.several, io_.utf8) << "\n";
    }
    if (settings_.out && record.control != nullptr && record.input != nullptr) Save(record);
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

  void Done() {
    progress_.Erase();
    if (table_) table_->Finish();
  }
  std::uint64_t endedEarly = 0;
  std::uint64_t notWritten = 0;
  // With --position or --file-offset, the places records were found at (only those given), and
  // the places near them (ScanOptions::nearby).
  std::set<core::Position> found;
  std::set<core::Position> nearby;

 private:
  // The record decoded, counted once if it ended early.
  core::DecodedRecord Decode(const core::FoundRecord& record, bool listing = true) {
    core::DecodedRecord decoded = core::Decode(decoders_.For(*record.control), *record.input,
                                               record.position, settings_.offsets, listing);
    if (decoded.stop.ended != DecodeEnd::kEndCode) ++endedEarly;
    return decoded;
  }

  void Show(const core::FoundRecord& record, const core::DecodedRecord* decoded) {
    // Piped, every line ends with CR LF, the records' lines as the blocks' own.
    const std::string_view eol = render::FileLineEnd(io_.out);
    const std::string line = render::ScanLine(record, settings_.several, io_.utf8);
    if (decoded == nullptr) {
      io_.out << "== " << line << ": not decoded ==" << eol;
      return;
    }
    io_.out << "== " << line << ": " << core::StopCode(decoded->stop.ended) << " ==" << eol;
    render::WriteDecodeText(io_.out, *decoded, settings_.listing, true);
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
    const core::DecodedRecord decoded = Decode(record);
    save(".listing.txt",
         [&](render::Writer& file) { render::WriteDecodeText(file, decoded, true, false); });
    save(".block.txt",
         [&](render::Writer& file) { render::WriteDecodeText(file, decoded, false, true); });
    if (decoded.picture) {
      save("." + decoded.picture->format,
           [&](render::Writer& file) { render::WritePicture(file, decoded); });
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
  std::optional<std::uint64_t> lastForm_;  // the image of the last record's form
  bool formShown_ = false;                 // a form's line was shown for the file
  bool saveFailed_ = false;
  std::optional<render::RecordTable> table_;
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
  const bool table = args.Has(O::kFields) || args.Has(O::kCsv) || args.Has(O::kTable);
  if (table && (args.Has(O::kJson) || args.Has(O::kOut) || args.Has(O::kListing))) {
    return UsageError(io.err, "scan",
                      "a table (--fields, --csv, --table) goes with neither --json, --out nor "
                      "--listing");
  }
  if (args.Has(O::kCsv) && args.Has(O::kTable)) {
    return UsageError(io.err, "scan", "--csv and --table are two forms of the table: give one");
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
  for (const std::string& control : args.Values(O::kControl))
    settings.controls.push_back(core::FindControl(control));
  settings.has = args.Values(O::kHas);
  if (table) {
    std::string error;
    const std::optional<std::string> list = args.Value(O::kFields);
    settings.fields = list ? core::ParseFields(*list, &error) : core::DefaultFields();
    const bool aligned = args.Has(O::kTable) || (!args.Has(O::kCsv) && io.out.Terminal());
    settings.format = aligned ? render::TableFormat::kAligned : render::TableFormat::kCsv;
    if (args.Has(O::kDecode)) settings.decode = false;  // the table says what each decodes to
  }
  const bool decodeEach = settings.decode || !settings.has.empty() ||
                          (settings.fields && core::NeedsDecode(*settings.fields));
  options.keepInputs = decodeEach || settings.out;
  // Each record decoded anyway: its index is the decode's, not read again by the scan.
  options.indexes = !decodeEach;
  settings.indexFromDecode = decodeEach;
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
