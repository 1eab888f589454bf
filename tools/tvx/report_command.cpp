// tvx report: one HTML page showing every control of the programs, each decoded and linked to
// its bytes.
#include <algorithm>
#include <map>

#include "collection.h"
#include "commands.h"
#include "inputs.h"
#include "positions.h"
#include "registry.h"
#include "report.h"
#include "scan.h"
#include "scan_job.h"
#include "text_output.h"

namespace tvx::tool {

namespace {

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

int ReportCommand(const Arguments& parsed, Streams& io) {
  Output& out = io.out;
  Output& err = io.err;
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

  // The programs in the order given: the files of the PATHs (a folder walked as tvx scan walks
  // it), then the files of --stream not among them. An entry that cannot be read is a program
  // with its reason.
  std::vector<std::string> scanned;
  std::map<std::string, std::string> problems;  // path: why it cannot be read
  Collection collection(parsed.positional, false);
  while (const std::optional<std::string> path =
             collection.Next([&](const std::string& at, const std::string& why) {
               scanned.push_back(at);
               problems[at] = why;
             })) {
    scanned.push_back(*path);
  }
  std::vector<std::string> paths = scanned;
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
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    ReportProgram& program = programs.emplace_back();
    program.path = path;
    ReadOnlyFiles files;
    const auto problem = problems.find(path);
    InputSource* file = problem != problems.end() ? nullptr : files.OpenInput(path);
    if (file == nullptr) {
      program.error = problem != problems.end() ? problem->second : files.error();
      err << "tvx report: cannot read \"" << PrintablePath(path) << "\": " << program.error << "\n";
      unreadable = true;
      continue;
    }
    program.size = file->Size();
    std::vector<std::pair<ControlRecord, const DeliverableInfo*>> found;
    if (i < scanned.size()) {  // a file of the PATHs, not only of --stream
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
      record.className =
          std::string(names.empty() ? stream.info->classWord : names.substr(0, names.find(' ')));
      found.emplace_back(record, stream.info);
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
      return a.first.position < b.first.position;
    });
    for (const auto& [record, info] : found) {
      std::unique_ptr<Decoder>& decoder = decoders[info->name];
      if (!decoder) decoder = FindDecoder(info->name);
      const Request request = MakeRequest(path, record.position, parsed.Has("offsets"));
      ReportRecord& shown = program.records.emplace_back();
      shown.position = record.position;
      shown.name = record.name;
      shown.className = record.className;
      shown.control = info->name;
      shown.decode = DecodeForReport(*decoder, request, files);
      early = early || shown.decode.ended != StopCode(DecodeEnd::kEndCode);
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
    err << "tvx report: cannot write \"" << PrintablePath(*output) << "\": " << error << "\n";
    return kIoError;
  }
  if (!io.quiet) {
    err << "tvx report: " << PrintablePath(*output) << ": "
        << static_cast<long long>(programs.size()) << " program"
        << (programs.size() == 1 ? "" : "s") << ", " << static_cast<long long>(records) << " record"
        << (records == 1 ? "" : "s") << ", " << static_cast<long long>(page.size()) << " bytes\n";
  }
  if (unreadable) return kIoError;
  return early ? kEndedEarly : kOk;
}

}  // namespace tvx::tool
