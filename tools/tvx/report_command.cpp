// tvx report: one HTML page showing every control of the programs, each decoded and linked to
// its bytes.
#include <algorithm>
#include <map>

#include "commands.h"
#include "common.h"
#include "registry.h"
#include "report.h"
#include "scan.h"
#include "tvx/text.h"

namespace tvx::tool {

namespace {

// Interim: the values read and the listing lines, told by the decode's hooks.
class Recorder final : public ReadObserver, public ListingObserver {
 public:
  void OnRead(double position, std::uint64_t count, std::string_view reader,
              std::string_view value) override {
    values.push_back({position, count, std::string(reader) + " " + std::string(value)});
  }
  void OnListingLine(std::string_view line) override {
    ReportLine l;
    l.text = line;
    if (!values.empty()) l.from.push_back(values.size() - 1);
    listing.push_back(std::move(l));
  }
  std::vector<ReportValue> values;
  std::vector<ReportLine> listing;
};

// What the page shows of the decode of one stream.
ReportDecode DecodeForReport(Decoder& decoder, const Request& request, ReadOnlyFiles& files) {
  Recorder recorder;
  const DecodeOutput result = RunDecode(decoder, request, files, {&recorder, &recorder});
  ReportDecode d;
  d.values = std::move(recorder.values);
  d.listing = std::move(recorder.listing);
  for (const std::string_view line : CrLfLines(result.block)) {
    ReportLine l;
    l.text = line;
    l.linked = false;
    d.block.push_back(std::move(l));
  }
  d.ended = EndedName(result.ended);
  d.stopped = EndedName(result.ended);
  d.picture = result.picture;
  double next = request.start;
  for (const ReportValue& v : d.values)
    next = std::max(next, v.position + static_cast<double>(v.size));
  if (InputSource* file = files.input()) {
    d.bytes.resize(static_cast<std::size_t>(next - request.start));
    d.bytes.resize(file->ReadAt(static_cast<std::uint64_t>(request.start - 1),
                                reinterpret_cast<std::uint8_t*>(d.bytes.data()), d.bytes.size()));
  }
  return d;
}

// A stream named on the command line: CONTROL:POSITION:FILE.
struct GivenStream {
  const DeliverableInfo* info = nullptr;
  double position = 0;
  std::string path;
};

std::optional<GivenStream> ParseStream(const std::string& text, Output& err) {
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  if (second == std::string::npos || second + 1 == text.size()) {
    UsageError(err, "report",
               "--stream takes CONTROL:POSITION:FILE, not \"" + Printable(text) + "\"");
    return std::nullopt;
  }
  GivenStream stream;
  const auto decoder = FindDecoder(text.substr(0, first));
  const std::optional<double> position =
      ParsePosition(std::string_view(text).substr(first + 1, second - first - 1));
  if (!decoder || !position) {
    UsageError(err, "report",
               "--stream " + Printable(text) + ": " +
                   (decoder ? "not a position (1-based, decimal or 0x hexadecimal)"
                            : "no control \"" + Printable(text.substr(0, first)) + "\""));
    return std::nullopt;
  }
  stream.info = &decoder->Info();
  stream.position = *position;
  stream.path = text.substr(second + 1);
  return stream;
}

}  // namespace

std::string ReportHelp() {
  return "usage: tvx report PATH... -o FILE.html [--class NAME=CONTROL]...\n"
         "                  [--stream CONTROL:POSITION:FILE]... [--offsets]\n"
         "\n"
         "Writes one HTML page that shows every control of a known class in the compiled\n"
         "programs (found as tvx scan finds them): per program its records (name, class,\n"
         "control, position and offset), a filter box, and for each record its property\n"
         "block, its listing and the stream's bytes, each value's bytes linked both ways to the\n"
         "lines they feed; pictures are shown where the browser can show them, and can be\n"
         "saved. The page holds everything (styles, script, pictures, data), fetches nothing\n"
         "and needs no server: it can be passed on as it is.\n"
         "\n"
         "  -o, --output FILE.html\n"
         "             where the page is written (- for standard output)\n"
         "  --class NAME=CONTROL\n"
         "             decode the class NAME with CONTROL, as for tvx scan; repeatable\n"
         "  --stream CONTROL:POSITION:FILE\n"
         "             also show the stream at POSITION (1-based, or 0x hexadecimal) of FILE,\n"
         "             decoded by CONTROL, as a record without a name; repeatable\n"
         "  --offsets  listings with offset lines\n"
         "\n"
         "Exit status: 0 the page was written; 3 it was written and a record's decode ended\n"
         "early (shown in the page); 1 a program cannot be read (shown in the page) or the\n"
         "page cannot be written; 2 the arguments are wrong.\n";
}

int ReportCommand(const std::vector<std::string>& args, Output& out, Output& err) {
  std::vector<std::string> spelled = args;  // -o FILE is --output FILE
  for (std::string& arg : spelled) {
    if (arg == "--") break;
    if (arg == "-o") arg = "--output";
  }
  const Arguments parsed =
      ParseArguments(spelled, {{"output", true}, {"class", true}, {"stream", true}, {"offsets"}});
  if (parsed.help) {
    out << ReportHelp();
    return kOk;
  }
  if (!parsed.error.empty()) return UsageError(err, "report", parsed.error);
  const std::optional<std::string> output = parsed.Value("output");
  if (!output) return UsageError(err, "report", "the page's file is missing: -o FILE.html");
  if (parsed.positional.empty() && !parsed.Has("stream")) {
    return UsageError(err, "report", "expected PATH..., the programs to show");
  }
  const std::optional<std::vector<KnownClass>> known = KnownClasses(parsed, "report", err);
  if (!known) return kUsage;
  std::vector<GivenStream> given;
  for (const std::string& text : parsed.Values("stream")) {
    std::optional<GivenStream> stream = ParseStream(text, err);
    if (!stream) return kUsage;
    given.push_back(std::move(*stream));
  }

  // The programs in the order given: the paths, then the files of --stream not among them.
  std::vector<std::string> paths = parsed.positional;
  for (const GivenStream& stream : given) {
    if (std::find(paths.begin(), paths.end(), stream.path) == paths.end()) {
      paths.push_back(stream.path);
    }
  }
  std::map<std::string_view, std::unique_ptr<Decoder>> decoders;  // by deliverable name
  std::vector<ReportProgram> programs;
  bool unreadable = false;
  bool early = false;
  std::size_t records = 0;
  for (const std::string& path : paths) {
    ReportProgram& program = programs.emplace_back();
    program.path = path;
    ReadOnlyFiles files;
    InputSource* file = files.OpenInput(path);
    if (file == nullptr) {
      program.error = files.error();
      err << "tvx report: cannot read \"" << Printable(path) << "\": " << files.error() << "\n";
      unreadable = true;
      continue;
    }
    program.size = file->Size();
    std::vector<std::pair<ControlRecord, const DeliverableInfo*>> found;
    if (std::find(parsed.positional.begin(), parsed.positional.end(), path) !=
        parsed.positional.end()) {
      ScanRecords(*file, [&](const ControlRecord& record) {
        if (const DeliverableInfo* info = LookupClass(*known, record.className)) {
          found.emplace_back(record, info);
        }
      });
    }
    for (const GivenStream& stream : given) {
      if (stream.path != path) continue;
      ControlRecord record;
      record.position = stream.position;
      // The class name the deliverable declares first, or its class word.
      const std::string_view names = stream.info->classNames;
      record.className = std::string(names.empty() ? stream.info->classWord
                                                   : names.substr(0, names.find(' ')));
      found.emplace_back(record, stream.info);
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
      return a.first.position < b.first.position;
    });
    for (const auto& [record, info] : found) {
      std::unique_ptr<Decoder>& decoder = decoders[info->name];
      if (!decoder) decoder = FindDecoder(info->name);
      Request request;
      request.valid = true;
      request.path = path;
      request.start = record.position;
      request.offsets = parsed.Has("offsets");
      ReportRecord& shown = program.records.emplace_back();
      shown.position = record.position;
      shown.name = record.name;
      shown.className = record.className;
      shown.control = info->name;
      shown.decode = DecodeForReport(*decoder, request, files);
      early = early || shown.decode.ended != EndedName(DecodeEnd::kEndCode);
    }
    records += found.size();
  }

  const std::string page = ReportPage(programs, "tvx " TVX_VERSION);
  std::string error;
  if (*output == "-") {
    out << page;
    if (!out.Finish()) {
      err << "tvx report: cannot write to standard output: " << out.error() << "\n";
      return kIoError;
    }
  } else if (!WriteWholeFile(*output, page, &error)) {
    err << "tvx report: cannot write \"" << Printable(*output) << "\": " << error << "\n";
    return kIoError;
  }
  err << "tvx report: " << Printable(*output) << ": " << static_cast<long long>(programs.size())
      << " program" << (programs.size() == 1 ? "" : "s") << ", " << static_cast<long long>(records)
      << " record" << (records == 1 ? "" : "s") << ", " << static_cast<long long>(page.size())
      << " bytes\n";
  if (unreadable) return kIoError;
  return early ? kEndedEarly : kOk;
}

}  // namespace tvx::tool
