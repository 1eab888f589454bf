#include "support.h"

#include <algorithm>

#include "controls.h"
#include "suggest.h"
#include "text.h"
#include "words.h"

namespace tvx::cli {

using render::Printable;

const DeliverableInfo* ControlOf(std::string_view command, std::string_view name, Io& io) {
  if (const DeliverableInfo* control = core::FindControl(name)) return control;
  io.err << "tvx " << command << ": unknown control \"" << Printable(name) << "\"";
  if (const std::string_view close = core::SuggestControl(name); !close.empty()) {
    io.err << "; did you mean '" << close << "'?";
  }
  io.err << "\nthe controls (deliverable, class word; class names) are:\n"
         << render::KnownControls() << "try 'tvx " << command << " --help'\n";
  return nullptr;
}

std::optional<core::Position> StartOf(std::string_view command, const Parsed& args,
                                      const std::string* position, Io& io) {
  const std::optional<std::string> offset = args.Value(Option::kFileOffset);
  if (offset && position != nullptr) {
    UsageError(io.err, command, "give POSITION or --file-offset, not both");
    return std::nullopt;
  }
  if (offset) return core::ParseOffset(*offset).position;  // checked by the parser
  if (position == nullptr) {
    UsageError(io.err, command, "the stream's POSITION (or --file-offset OFFSET) is missing");
    return std::nullopt;
  }
  const core::ParsedPlace start = core::ParsePosition(*position);
  switch (start.error) {
    case core::PlaceError::kNone:
      break;
    case core::PlaceError::kBeyondAnyFile:
      UsageError(io.err, command,
                 "\"" + Printable(*position) +
                     "\" lies beyond any file (positions go up to 2^53, 9007199254740992)");
      return std::nullopt;
    case core::PlaceError::kBelowOne:
    case core::PlaceError::kNotANumber:
      UsageError(io.err, command,
                 "\"" + Printable(*position) +
                     "\" is not a start position (1-based: decimal, or 0x hexadecimal; "
                     "--file-offset takes a 0-based offset)");
      return std::nullopt;
  }
  if (start.rounded) {
    io.err << "tvx " << command << ": warning: position " << Printable(*position) << " rounded to "
           << std::to_string(start.position) << ", as the plug-ins round it (half to even)\n";
  }
  return start.position;
}

std::optional<Target> TargetOf(std::string_view command, const Parsed& args, Io& io) {
  const std::size_t n = args.operands.size();
  if (n < 2 || n > 3) {
    UsageError(io.err, command,
               "expected CONTROL FILE POSITION, got " + render::Plural(n, "argument"));
    return std::nullopt;
  }
  Target target;
  target.control = ControlOf(command, args.operands[0], io);
  if (target.control == nullptr) return std::nullopt;
  target.file = args.operands[1];
  const std::optional<core::Position> start =
      StartOf(command, args, n == 3 ? &args.operands[2] : nullptr, io);
  if (!start) return std::nullopt;
  target.position = *start;
  return target;
}

std::string FileWords(const std::string& path, const Io& io) {
  return path == "-" ? "standard input" : "\"" + render::PrintablePath(path, io.utf8) + "\"";
}

std::shared_ptr<InputSource> OpenInput(std::string_view command, const std::string& path, Io& io) {
  core::OpenedInput opened = core::OpenProgram(path);
  if (!opened.input) {
    io.err << "tvx " << command << ": cannot read " << FileWords(path, io) << ": "
           << opened.error.reason << "\n";
  }
  return opened.input;
}

int Finish(std::string_view command, const std::optional<core::StopInfo>& stop, Io& io) {
  if (!io.out.Finish()) {
    io.err << "tvx " << command << ": cannot write to standard output: " << io.out.error() << "\n";
    return kIoError;
  }
  if (!stop || stop->ended == DecodeEnd::kEndCode) return kOk;
  io.err << "tvx " << command << ": the decode ended early: " << render::StopText(*stop) << "\n";
  return kEndedEarly;
}

core::ScanOptions SelectionOf(const Parsed& args) {
  // -j's default: the processors, but no more files at a time than hold a window each cheaply.
  constexpr unsigned kDefaultJobsAtMost = 16;
  core::ScanOptions options;
  for (const std::string& text : args.Values(Option::kClass))
    options.classes.Add(text);
  for (const std::string& text : args.Values(Option::kPosition))
    options.positions.push_back(core::ParsePosition(text).position);
  for (const std::string& text : args.Values(Option::kFileOffset))
    options.positions.push_back(core::ParseOffset(text).position);
  options.names = args.Values(Option::kName);
  options.forms = args.Values(Option::kForm);
  options.all = args.Has(Option::kAll);
  options.follow = args.Has(Option::kFollow);
  options.jobs = std::clamp(core::Processors(), 1u, kDefaultJobsAtMost);
  if (const std::optional<std::string> jobs = args.Value(Option::kJobs)) {
    options.jobs = static_cast<unsigned>(core::ParseCount(*jobs, 256).value_or(1));
  }
  return options;
}

namespace {

// A file being written: the first error is kept.
class FileWriter final : public render::Writer {
 public:
  explicit FileWriter(core::OutputFile& file) : file_(file) {}
  void Write(std::string_view bytes) override {
    if (!error_) {
      file_.Write({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, &error_);
    }
  }
  core::IoError error_;

 private:
  core::OutputFile& file_;
};

}  // namespace

bool WriteFile(std::string_view command, const std::string& path,
               const std::function<void(render::Writer&)>& write, Io& io) {
  core::IoError error;
  std::unique_ptr<core::OutputFile> file = core::OutputFile::Create(path, &error);
  if (file) {
    FileWriter writer(*file);
    write(writer);
    error = writer.error_;
    if (!error) file->Commit(&error);
  }
  if (!error) return true;
  io.err << "tvx " << command << ": cannot write \"" << render::PrintablePath(path, io.utf8)
         << "\": " << error.reason << "\n";
  return false;
}

}  // namespace tvx::cli
