// tvx scan: every control record in compiled programs, folders of them or any bytes, and what each
// decodes to.
#include <algorithm>
#include <filesystem>

#include "collection.h"
#include "commands.h"
#include "json_output.h"
#include "positions.h"
#include "progress.h"
#include "registry.h"
#include "runner.h"
#include "scan_job.h"
#include "terminal.h"
#include "text_output.h"
#include "tvx/text.h"

namespace tvx::tool {

namespace {

// The most -j takes, and the default's ceiling: each job holds a window of the input.
constexpr unsigned kMaxJobs = 256;
constexpr unsigned kDefaultJobsAtMost = 16;

std::string Plural(std::uint64_t n, const std::string& word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace

int ScanCommand(const Arguments& parsed, Streams& io) {
  Output& out = io.out;
  Output& err = io.err;
  if (parsed.positional.empty()) {
    return UsageError(err, "scan", "a PATH is missing (a file, a folder, or - for standard input)");
  }
  if (parsed.Has("listing") && !parsed.Has("decode")) {
    return UsageError(err, "scan", "--listing goes with --decode");
  }
  if (parsed.Has("out") && (parsed.Has("decode") || parsed.Has("json"))) {
    return UsageError(err, "scan", "--out writes files; it goes with neither --decode nor --json");
  }
  ScanSettings settings;
  const std::optional<std::vector<KnownClass>> known = KnownClasses(parsed, "scan", err);
  if (!known) return kUsage;
  settings.known = *known;
  for (const std::string& text : parsed.Values("position")) {
    const std::optional<double> position = ParsePosition(text);
    if (!position) {
      return UsageError(err, "scan", "--position " + Printable(text) + ": not a position");
    }
    settings.positions.push_back(*position);
  }
  unsigned jobs = std::clamp(OrderedRunner::Processors(), 1u, kDefaultJobsAtMost);
  if (const std::optional<std::string> text = parsed.Value("jobs")) {
    const bool digits =
        !text->empty() && text->size() <= 3 &&
        std::all_of(text->begin(), text->end(), [](char c) { return c >= '0' && c <= '9'; });
    jobs = digits ? static_cast<unsigned>(std::stoul(*text)) : 0;
    if (jobs < 1 || jobs > kMaxJobs) {
      return UsageError(err, "scan", "-j takes a number of jobs from 1 to 256");
    }
  }
  settings.names = parsed.Values("name");
  settings.all = parsed.Has("all");
  settings.decode = parsed.Has("decode");
  settings.listing = parsed.Has("listing");
  settings.offsets = parsed.Has("offsets");
  settings.json = parsed.Has("json");
  settings.quiet = io.quiet;
  if (const std::optional<std::string> dir = parsed.Value("out")) settings.out = *dir;
  // Lines start with the input's path when more than one input may come.
  std::error_code error;
  settings.several = parsed.positional.size() > 1 ||
                     std::filesystem::is_directory(parsed.positional.front(), error);

  // On a terminal, a header line names the columns.
  if (!settings.json && out.terminal()) {
    out << (settings.several ? "file:" : "")
        << Columns("position", "offset", "name", "class", "control") << "\n";
  }
  ProgressLine progress(err, !settings.quiet && IsTerminal(stderr));
  ScanTotals totals(AllDeliverables().size());
  Collection collection(parsed.positional, parsed.Has("follow"));
  {
    OrderedRunner runner(jobs, out, err, progress);
    const auto problem = [&](const std::string& path, const std::string& why) {
      ++totals.unreadable;
      runner.Add([message = "tvx scan: cannot read \"" + PrintablePath(path) + "\": " + why +
                            "\n"](TaskOutput& output) { output.Err(message); });
    };
    while (std::optional<std::string> path = collection.Next(problem)) {
      runner.Add([&settings, &totals, path = *path](TaskOutput& output) {
        ScanInput(path, settings, totals, output);
      });
      if (runner.OutputFailed()) break;
    }
    runner.Finish();
  }
  progress.Erase();

  // The summary: records per deliverable, in the deliverables' order.
  std::string each;
  Json controls = Json::object();
  for (std::size_t i = 0; i < AllDeliverables().size(); ++i) {
    const std::uint64_t n = totals.perDeliverable[i];
    if (n == 0) continue;
    const std::string name(AllDeliverables()[i]->name);
    each += (each.empty() ? ": " : ", ") + std::to_string(n) + " " + name;
    controls[name] = n;
  }
  if (settings.json) {
    Json summary = JsonDocument("scan_summary");
    summary["files"] = totals.files.load();
    summary["unreadable"] = totals.unreadable.load();
    summary["bytes"] = totals.bytes.load();
    summary["records"] = totals.records.load();
    summary["controls"] = std::move(controls);
    summary["other_classes"] = totals.others.load();
    WriteJson(out, summary, true);
  }
  const bool read = totals.files > 0 || settings.several;
  if (!settings.quiet && read) {
    std::string summary =
        (settings.several ? Plural(totals.files, "file") + ", " +
                                ProgressLine::Amount(static_cast<double>(totals.bytes))
                          : PrintablePath(parsed.positional.front())) +
        ": " + Plural(totals.records, "record") + each;
    if (totals.others > 0) {
      summary += "; " + std::to_string(totals.others) + " of other classes" +
                 (settings.all ? "" : ", not listed");
    }
    if (totals.unreadable > 0) summary += "; " + std::to_string(totals.unreadable) + " not read";
    err << "tvx scan: " << summary << "\n";
  }
  if (!out.Finish()) {
    err << "tvx scan: cannot write to standard output: " << out.error() << "\n";
    return kIoError;
  }
  if (totals.unreadable > 0 || totals.notWritten > 0) return kIoError;
  if (totals.endedEarly) {
    err << "tvx scan: the decode of a record ended early (see its stop)\n";
    return kEndedEarly;
  }
  return kOk;
}

}  // namespace tvx::tool
