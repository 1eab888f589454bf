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

// When and how the page was made (not on a page to share), and what was read.
std::string Facts(const std::vector<ReportProgram>& programs, const ReportRun& run) {
  std::string html = "<dl class=\"facts\">\n<dt>Made</dt><dd>";
  if (!run.shareable) {
    const auto [iso, shown] = TimeTexts(run.time);
    html += "<time datetime=\"" + iso + "\">" + shown + "</time> ";
  }
  html += "by " + HtmlText(run.generator) + "</dd>\n";
  if (!run.shareable) {
    html += "<dt>Command</dt><dd><code class=\"command\">" + HtmlText(CommandText(run.command)) +
            "</code></dd>\n";
  }
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

// How to show a stream that lies in a file without its record, where a file read held no record.
std::string Hint(const std::vector<ReportProgram>& programs, const ReportRun& run) {
  std::uint64_t without = 0;
  std::uint64_t records = 0;
  for (const ReportProgram& program : programs) {
    without += program.error.empty() && program.records.empty() ? 1 : 0;
    records += program.records.size();
  }
  std::string html = "<p class=\"hint\">";
  if (without != 0) {
    html += Plural(without, "program") + (without == 1 ? " holds" : " hold") + " no record.";
  } else if (records == 0 && run.otherFiles != 0) {
    html += "No record was found.";
  } else {
    return "";
  }
  return html +
         " A control is found by the record a compiled form keeps before its property stream; a "
         "file that holds a stream without its record (a sample, a stream cut out of a program) "
         "is shown by naming the stream: <code>--stream CONTROL:POSITION:FILE</code>, for "
         "example <code>tvx report -o agent.html --stream PERSONA.Persona:1025:agent.exe</code>."
         "</p>\n";
}

// The class names of the records, the first kMaxClasses of them in the order they come, with
// whether there are more.
constexpr std::size_t kMaxClasses = 12;
std::pair<std::vector<std::string_view>, bool> Classes(const std::vector<ReportProgram>& programs) {
  std::vector<std::string_view> classes;
  bool more = false;
  for (const ReportProgram& program : programs) {
    for (const ReportRecord& record : program.records) {
      if (std::find(classes.begin(), classes.end(), record.className) != classes.end()) continue;
      if (classes.size() < kMaxClasses) {
        classes.push_back(record.className);
      } else {
        more = true;
      }
    }
  }
  return {classes, more};
}

std::string Cell(std::uint64_t n) {
  return std::string(n == 0 ? "<td class=\"num zero\">" : "<td class=\"num\">") +
         std::to_string(n) + "</td>";
}

// The programs, each a row with its size and its records per class (the first twelve classes, the
// others together), those whose decode ended early, and a link to its section; with the script,
// its columns sort. Open on a page of up to kOpenTable programs; on a larger one closed, so that
// the page opens at the cost of its rows' markup, not their layout.
constexpr std::size_t kOpenTable = 50;
std::string ProgramTable(const std::vector<ReportProgram>& programs, const ReportRun& run,
                         const PageIds& ids, std::size_t shown) {
  const auto [classes, more] = Classes(programs);
  std::string html =
      std::string("<details class=\"list\"") + (shown <= kOpenTable ? " open" : "") +
      "><summary id=\"programs-title\">Programs (" + std::to_string(shown) +
      ")</summary>\n<div class=\"wide\"><table class=\"programs sortable\" "
      "aria-labelledby=\"programs-title\">\n"
      "<thead><tr><th scope=\"col\">Program</th><th scope=\"col\" class=\"num\">Bytes</th>"
      "<th scope=\"col\" class=\"num\">Records</th>";
  for (const std::string_view name : classes)
    html += "<th scope=\"col\" class=\"num\">" + StreamHtml(name) + "</th>";
  if (more) html += "<th scope=\"col\" class=\"num\">Other classes</th>";
  html += "<th scope=\"col\" class=\"num\">Ended early</th></tr></thead>\n<tbody>\n";
  std::vector<std::uint64_t> all(classes.size() + 4, 0);  // bytes, records, classes, other, early
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const ReportProgram& program = programs[p];
    if (!Shown(program)) continue;
    std::vector<std::uint64_t> n(all.size(), 0);
    n[0] = program.size;
    n[1] = program.records.size();
    for (const ReportRecord& record : program.records) {
      ++n[2 + static_cast<std::size_t>(std::find(classes.begin(), classes.end(), record.className) -
                                       classes.begin())];
      n.back() += EndedEarly(record) ? 1 : 0;
    }
    html += "<tr><td><a href=\"#" + ids.programs[p] + "\">" + ShownPath(program, run) + "</a></td>";
    for (std::size_t i = 0; i < n.size(); ++i) {
      all[i] += n[i];
      if (i != n.size() - 2 || more) html += Cell(n[i]);
    }
    html += "</tr>\n";
  }
  html += "</tbody>\n<tfoot><tr><th scope=\"row\">All</th>";
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (i != all.size() - 2 || more) html += Cell(all[i]);
  }
  return html + "</tr></tfoot>\n</table></div>\n</details>\n";
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
      "<table class=\"controls sortable\">\n<caption>Records per control</caption>\n<thead><tr>"
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
std::string Lists(const std::vector<ReportProgram>& programs, const ReportRun& run,
                  const PageIds& ids) {
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
      early += "<li><a href=\"#" + ids.records[p][r] + "\">" + ShownPath(program, run) + ": " +
               RecordLabel(record) + "</a>: <code>" + std::string(DecodeCode(record)) +
               "</code></li>\n";
    }
    if (program.error.empty()) continue;
    ++unreadableCount;
    unreadable += "<li>" + ShownPath(program, run) + ": " + HtmlText(program.error) + "</li>\n";
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
  std::size_t shown = 0;
  for (const ReportProgram& program : programs)
    shown += Shown(program) ? 1 : 0;
  html += Facts(programs, run) + Hint(programs, run);
  if (shown > 1) html += ProgramTable(programs, run, ids, shown);
  html += ControlTable(programs) + Lists(programs, run, ids);
  html +=
      "<details class=\"list\" open><summary>The Decode column</summary>\n<dl class=\"legend\">\n";
  for (const auto& [code, text] : kLegend)
    html += "<dt><code>" + std::string(code) + "</code></dt><dd>" + HtmlText(text) + "</dd>\n";
  return html + "</dl>\n</details>\n</section>\n";
}

}  // namespace tvx::render::report
