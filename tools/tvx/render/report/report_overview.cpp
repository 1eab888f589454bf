// The report's overview, as coverage reports open: how and when the page was made, what was read,
// the records per control, the decodes that ended early, the files that could not be read, and
// what the Decode column says.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "report_parts.h"
#include "words.h"

namespace tvx::render::report {

namespace {

// "2026-12-09T16:46:05Z" and "2026-12-09 16:46:05 UTC".
std::pair<std::string, std::string> TimeTexts(std::int64_t seconds) {
  using namespace std::chrono;
  const sys_seconds time{std::chrono::seconds(seconds)};
  const sys_days day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss clock{time - day};
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  std::string iso = text;
  iso[10] = 'T';
  return {iso + "Z", std::string(text) + " UTC"};
}

// What the Decode column's codes mean.
constexpr std::pair<std::string_view, std::string_view> kLegend[] = {
    {"end_code", "the decode read the stream's end code (255): the block is whole"},
    {"input_ended",
     "the file ended before the stream's end code (the plug-in writes \"Unexpected end of "
     "file\")"},
    {"stopped_by_stream",
     "a code the control does not know stopped the decode; its stop line ends the listing"},
    {"input_not_opened", "the file could not be opened for the decode"},
    {"not_decoded", "no plug-in decodes this class (listed with --all)"},
};

// When and how the page was made, and what was read.
std::string Facts(const std::vector<ReportProgram>& programs, const ReportRun& run) {
  const auto [iso, shown] = TimeTexts(run.time);
  std::string html = "<dl class=\"facts\">\n";
  html += "<dt>Made</dt><dd><time datetime=\"" + iso + "\">" + shown + "</time> by " +
          HtmlText(run.generator) + "</dd>\n";
  html += "<dt>Command</dt><dd><code class=\"command\">" + PathHtml(CommandText(run.command)) +
          "</code></dd>\n";
  std::uint64_t listed = 0;
  std::uint64_t bytes = 0;
  std::uint64_t unreadable = 0;
  for (const ReportProgram& program : programs) {
    if (Shown(program)) {
      ++listed;
      bytes += program.size;
    }
    if (!program.error.empty()) ++unreadable;
  }
  html += "<dt>Read</dt><dd>" + Plural(listed, "program") + " (" + Plural(bytes, "byte") + ")";
  if (run.otherFiles != 0) {
    html += "; " + Plural(run.otherFiles, "other file") +
            " passed over (neither a Windows program nor holding a record)";
  }
  if (unreadable != 0) html += "; " + Plural(unreadable, "file") + " not read";
  return html + "</dd>\n</dl>\n";
}

// The records per control, in the order of the controls' first records, with those whose decode
// ended early.
std::string ControlTable(const std::vector<ReportProgram>& programs) {
  std::vector<std::pair<std::string, std::pair<std::uint64_t, std::uint64_t>>> counts;
  std::uint64_t records = 0;
  std::uint64_t early = 0;
  for (const ReportProgram& program : programs) {
    for (const ReportRecord& record : program.records) {
      auto row = std::find_if(counts.begin(), counts.end(),
                              [&](const auto& c) { return c.first == record.control; });
      if (row == counts.end()) row = counts.insert(counts.end(), {record.control, {0, 0}});
      ++row->second.first;
      ++records;
      if (EndedEarly(record)) {
        ++row->second.second;
        ++early;
      }
    }
  }
  if (counts.empty()) return "";
  std::string html =
      "<table class=\"controls\">\n<caption>Records per control</caption>\n<thead><tr>"
      "<th scope=\"col\">Control</th><th scope=\"col\" class=\"num\">Records</th>"
      "<th scope=\"col\" class=\"num\">Ended early</th></tr></thead>\n<tbody>\n";
  for (const auto& [control, n] : counts) {
    html += "<tr><td>" + HtmlText(control == "-" ? "- (no plug-in)" : control) +
            "</td><td class=\"num\">" + std::to_string(n.first) + "</td><td class=\"num\">" +
            std::to_string(n.second) + "</td></tr>\n";
  }
  html += "</tbody>\n<tfoot><tr><th scope=\"row\">All</th><td class=\"num\">" +
          std::to_string(records) + "</td><td class=\"num\">" + std::to_string(early) +
          "</td></tr></tfoot>\n</table>\n";
  if (early == 0) html += "<p class=\"meta\">Every decode reached the stream's end code.</p>\n";
  return html;
}

// The decodes that ended early, each a link to its record, and the files that could not be
// read, and why.
std::string Lists(const std::vector<ReportProgram>& programs, const PageIds& ids) {
  std::string early;
  std::size_t earlyCount = 0;
  std::string unreadable;
  std::size_t unreadableCount = 0;
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const ReportProgram& program = programs[p];
    for (std::size_t r = 0; r < program.records.size(); ++r) {
      const ReportRecord& record = program.records[r];
      if (!EndedEarly(record)) continue;
      ++earlyCount;
      early += "<li><a href=\"#" + ids[p][r] + "\">" + PathHtml(program.path) + ": " +
               RecordLabel(record) + "</a>: <code>" + std::string(DecodeCode(record)) +
               "</code></li>\n";
    }
    if (program.error.empty()) continue;
    ++unreadableCount;
    unreadable += "<li>" + PathHtml(program.path) + ": " + HtmlText(program.error) + "</li>\n";
  }
  std::string html;
  if (earlyCount != 0) {
    html += std::string("<details class=\"list\"") + (earlyCount <= 10 ? " open" : "") +
            "><summary>Decodes that ended early (" + std::to_string(earlyCount) +
            ")</summary>\n<ul>\n" + early + "</ul>\n</details>\n";
  }
  if (unreadableCount != 0) {
    html += "<details class=\"list\" open><summary>Files that could not be read (" +
            std::to_string(unreadableCount) + ")</summary>\n<ul>\n" + unreadable +
            "</ul>\n</details>\n";
  }
  return html;
}

}  // namespace

std::string Overview(const std::vector<ReportProgram>& programs, const ReportRun& run,
                     const PageIds& ids) {
  std::string html = "<section id=\"overview\" aria-labelledby=\"overview-title\">\n";
  html += "<h2 id=\"overview-title\">Overview</h2>\n";
  html += Facts(programs, run) + ControlTable(programs) + Lists(programs, ids);
  html +=
      "<details class=\"list\" open><summary>The Decode column</summary>\n<dl class=\"legend\">\n";
  for (const auto& [code, text] : kLegend)
    html += "<dt><code>" + std::string(code) + "</code></dt><dd>" + HtmlText(text) + "</dd>\n";
  return html + "</dl>\n</details>\n</section>\n";
}

}  // namespace tvx::render::report
