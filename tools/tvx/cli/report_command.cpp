// tvx report: one HTML page showing every control of the programs, each decoded and linked to
// its bytes.
#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "commands.h"
#include "controls.h"
#include "report/report.h"
#include "scan.h"
#include "support.h"
#include "text.h"
#include "words.h"

namespace tvx::cli {

using O = Option;

namespace {

// A stream named on the command line: CONTROL:POSITION:FILE (checked by the parser).
struct GivenStream {
  const DeliverableInfo* control = nullptr;
  core::ParsedPlace position;
  std::string path;
};

GivenStream ParseStream(const std::string& text) {
  const std::size_t first = text.find(':');
  const std::size_t second = text.find(':', first + 1);
  return {core::FindControl(std::string_view(text).substr(0, first)),
          core::ParsePosition(std::string_view(text).substr(first + 1, second - first - 1)),
          text.substr(second + 1)};
}

// The programs as the scan finds them, each record decoded for the page.
class Programs final : public core::ScanSink {
 public:
  Programs(bool offsets, Io& io) : offsets_(offsets), io_(io) {}

  void Record(const core::FoundRecord& record) override {
    render::ReportRecord& shown = Program(record.file).records.emplace_back();
    shown.position = record.position;
    shown.name = record.name;
    shown.className = record.className;
    shown.form = record.form;
    shown.index = record.index;
    if (record.control == nullptr || record.input == nullptr) {
      shown.control = "-";
      shown.decode.stopped = "no plug-in decodes this class";
      shown.decode.stop.ended = DecodeEnd::kNoInput;
      return;
    }
    shown.control = record.control->name;
    shown.decode = render::DecodeForReport(decoders_.For(*record.control), *record.input,
                                           record.position, offsets_);
  }
  void NotAProgram(const std::string& file, bool /*named*/) override {
    Program(file);
    raw_ = true;
  }
  void FileDone(const std::string& file, std::uint64_t bytes) override {
    Program(file).size = bytes;
    // A file that is no Windows program and holds no record is counted, not listed.
    if (raw_ && last_->records.empty()) {
      programs.pop_back();
      ++otherFiles;
    }
    last_ = nullptr;  // the next event starts another program, even for the same path
  }
  void Unreadable(const std::string& file, const core::IoError& error) override {
    io_.err << "tvx report: cannot read " << FileWords(file, io_) << ": " << error.reason << "\n";
    Program(file).error = error.reason;
    last_ = nullptr;
  }

  render::ReportProgram& Program(const std::string& file) {
    if (last_ == nullptr || last_->path != file) {
      last_ = &programs.emplace_back();
      last_->path = file;
      raw_ = false;
    }
    return *last_;
  }

  void AddStream(const GivenStream& stream, Io& io) {
    auto program =
        std::find_if(programs.begin(), programs.end(),
                     [&](const render::ReportProgram& p) { return p.path == stream.path; });
    std::shared_ptr<InputSource> input;
    if (program == programs.end() || !program->error.empty()) {
      last_ = nullptr;
      render::ReportProgram& added = Program(stream.path);
      const core::OpenedInput opened = core::OpenProgram(stream.path);
      if (!opened.input) {
        added.error = opened.error.reason;
        io.err << "tvx report: cannot read " << FileWords(stream.path, io) << ": " << added.error
               << "\n";
        return;
      }
      input = opened.input;
      added.size = input->Size();
      program = programs.end() - 1;
    } else {
      input = core::OpenProgram(stream.path).input;
      if (!input) return;
    }
    render::ReportRecord& shown = program->records.emplace_back();
    shown.position = stream.position.position;
    shown.className = std::string(core::ClassTable::FirstClassName(*stream.control));
    shown.control = stream.control->name;
    shown.decode =
        render::DecodeForReport(decoders_.For(*stream.control), *input, shown.position, offsets_);
  }

  std::vector<render::ReportProgram> programs;
  std::uint64_t otherFiles = 0;  // neither a Windows program nor holding a record

 private:
  bool offsets_;
  Io& io_;
  core::Decoders decoders_;
  render::ReportProgram* last_ = nullptr;  // the program added last (set anew after each add)
  bool raw_ = false;                       // it is no Windows program: scanned as raw bytes
};

// When the page is made: SOURCE_DATE_EPOCH where it is set (a page made again from the same
// inputs is then the same, byte for byte), otherwise now.
std::int64_t MadeAt() {
  if (const char* fixed = std::getenv("SOURCE_DATE_EPOCH"); fixed != nullptr) {
    char* end = nullptr;
    const long long seconds = std::strtoll(fixed, &end, 10);
    if (*fixed != '\0' && *end == '\0' && seconds >= 0) return seconds;
  }
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Each program's records in the order of their positions; each record whose decode ended early
// named on standard error. True when one did.
bool Arrange(std::vector<render::ReportProgram>& programs, Io& io) {
  bool early = false;
  for (render::ReportProgram& program : programs) {
    std::stable_sort(program.records.begin(), program.records.end(),
                     [](const auto& a, const auto& b) { return a.position < b.position; });
    for (const render::ReportRecord& record : program.records) {
      if (record.control == "-" || record.decode.stop.ended == DecodeEnd::kEndCode) continue;
      early = true;
      io.err << "tvx report: " << render::PrintablePath(program.path, io.utf8) << ": "
             << (record.name.empty() ? "the stream" : render::Printable(record.name))
             << " at position " << render::PlaceText(record.position)
             << ": the decode ended early: " << render::StopText(record.decode.stop) << "\n";
    }
  }
  return early;
}

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

// True when `path` is the operand `given` or was found in the folder it names.
bool Covers(std::string_view given, std::string_view path) {
  if (path == given) return true;
  return !given.empty() && path.size() > given.size() && path.starts_with(given) &&
         (IsSeparator(given.back()) || IsSeparator(path[given.size()]));
}

// Each program's key: its path below the folder named that it was found in, or the name of a
// file named itself (or by --stream), with "/" between folders. The scan hands programs on in the
// order of the operands, so one pass finds each program's operand.
void KeepKeys(std::vector<render::ReportProgram>& programs,
              const std::vector<std::string>& operands) {
  std::size_t o = 0;
  for (render::ReportProgram& program : programs) {
    while (o < operands.size() && !Covers(operands[o], program.path))
      ++o;
    std::string_view key = program.path;
    if (o < operands.size() && program.path != operands[o]) {
      key.remove_prefix(operands[o].size());
    } else {
      for (std::size_t at = key.size(); at > 0; --at) {
        if (IsSeparator(key[at - 1])) {
          key.remove_prefix(at);
          break;
        }
      }
    }
    while (!key.empty() && IsSeparator(key.front()))
      key.remove_prefix(1);
    program.key = key;
    std::replace_if(program.key.begin(), program.key.end(), IsSeparator, '/');
  }
}

// Writes the page to standard output ("-") or its file; false after saying why.
bool WritePage(const std::string& output, const std::string& page, Io& io) {
  if (output != "-") {
    return WriteFile(
        "report", output, [&](render::Writer& file) { file << page; }, io);
  }
  io.out << page;
  if (io.out.Finish()) return true;
  io.err << "tvx report: cannot write to standard output: " << io.out.error() << "\n";
  return false;
}

}  // namespace

int ReportCommand(const Parsed& args, Io& io) {
  const std::optional<std::string> output = args.Value(O::kOutput);
  if (!output) return UsageError(io.err, "report", "the page's file is missing: -o FILE.html");
  if (args.operands.empty() && !args.Has(O::kStream)) {
    return UsageError(io.err, "report", "expected PATH..., the programs to show");
  }
  core::ScanOptions options = SelectionOf(args);
  options.keepInputs = true;
  std::vector<GivenStream> streams;
  for (const std::string& text : args.Values(O::kStream)) {
    streams.push_back(ParseStream(text));
    if (streams.back().position.rounded) {
      io.err << "tvx report: warning: --stream " << render::Printable(text)
             << ": position rounded to " << std::to_string(streams.back().position.position)
             << ", as the plug-ins round it (half to even)\n";
    }
  }
  if (io.checkOnly) return kOk;
  Programs programs(args.Has(O::kOffsets), io);
  if (!args.operands.empty()) core::Scan(args.operands, options, programs);
  for (const GivenStream& stream : streams)
    programs.AddStream(stream, io);
  const bool early = Arrange(programs.programs, io);
  KeepKeys(programs.programs, args.operands);
  std::size_t records = 0;
  std::size_t listed = 0;
  std::size_t without = 0;  // programs read that hold no record
  bool unreadable = false;
  for (const render::ReportProgram& program : programs.programs) {
    records += program.records.size();
    without += program.records.empty() && program.error.empty() ? 1 : 0;
    unreadable = unreadable || !program.error.empty();
    listed += program.error.empty() || !program.records.empty() ? 1 : 0;
  }
  render::ReportRun run;
  run.generator = "tvx " TVX_VERSION;
  run.command = {"tvx"};
  run.command.insert(run.command.end(), args.given.begin(), args.given.end());
  run.time = MadeAt();
  run.otherFiles = programs.otherFiles;
  run.shareable = args.Has(O::kShareable);
  const std::string page = render::ReportPage(programs.programs, run);
  if (!WritePage(*output, page, io)) return kIoError;
  if (!io.quiet) {
    io.err << "tvx report: "
           << (*output == "-" ? std::string("standard output")
                              : render::PrintablePath(*output, io.utf8))
           << ": " << render::Plural(listed, "program") << ", " << render::Plural(records, "record")
           << ", "
           << (programs.otherFiles == 0
                   ? std::string()
                   : render::Plural(programs.otherFiles, "other file") + " passed over, ")
           << std::to_string(page.size()) << " bytes\n";
    if (without != 0 || (records == 0 && programs.otherFiles != 0)) {
      io.err << "tvx report: "
             << (without != 0 ? render::Plural(without, "program") +
                                    (without == 1 ? " holds" : " hold") + " no record"
                              : std::string("no record found"))
             << ": a control is found by the record a compiled form keeps before its stream; "
                "a stream without its record is shown with --stream CONTROL:POSITION:FILE\n";
    }
  }
  if (unreadable) return kIoError;
  return early ? kEndedEarly : kOk;
}

}  // namespace tvx::cli
