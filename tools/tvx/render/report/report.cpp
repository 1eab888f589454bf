// The report's page put together: its template (report.html) with its places filled, the ids of
// its records.
#include "report.h"

#include <cstdio>
#include <set>

#include "json.h"
#include "report_assets.h"
#include "report_parts.h"
#include "words.h"

namespace tvx::render {

namespace {

std::string Title(const std::vector<ReportProgram>& programs) {
  if (programs.size() != 1) return "tvx report: " + Plural(programs.size(), "program");
  const std::string path = Utf8Path(programs.front().path);
  const std::size_t slash = path.find_last_of("/\\");
  return "tvx report: " + (slash == std::string::npos ? path : path.substr(slash + 1));
}

std::string Summary(const std::vector<ReportProgram>& programs, const ReportRun& run) {
  std::uint64_t shown = 0;
  std::uint64_t records = 0;
  for (const ReportProgram& program : programs) {
    shown += report::Shown(program) ? 1 : 0;
    records += program.records.size();
  }
  return Plural(shown, "program") + ", " + Plural(records, "record") + "; made by " +
         report::HtmlText(run.generator) + ".";
}

// What fills the page's place NAME, or nothing for a name that is not a place.
std::optional<std::string> Place(std::string_view name, const std::vector<ReportProgram>& programs,
                                 const ReportRun& run, const report::PageIds& ids) {
  if (name == "CSP") {
    return "default-src 'none'; script-src '" + std::string(report::kScriptHash) +
           "'; style-src '" + std::string(report::kStyleHash) +
           "'; img-src data: blob:; base-uri 'none'; form-action 'none'; "
           "require-trusted-types-for 'script'";
  }
  if (name == "GENERATOR") return report::HtmlText(run.generator);
  if (name == "TITLE") return report::HtmlText(Title(programs));
  if (name == "SUMMARY") return Summary(programs, run);
  if (name == "STYLE") return std::string(report::kStyle);
  if (name == "OVERVIEW") return report::Overview(programs, run, ids);
  if (name == "PROGRAMS") return report::ProgramsHtml(programs, run, ids);
  if (name == "DATA") return report::ScriptData(programs, run);
  if (name == "SCRIPT") return std::string(report::kScript);
  return std::nullopt;
}

}  // namespace

namespace report {

PageIds MakeIds(const std::vector<ReportProgram>& programs) {
  // A second record of the same file and position (the same path given twice) gets "-2", and so
  // on.
  PageIds ids;
  std::set<std::string> taken;
  for (const ReportProgram& program : programs) {
    std::vector<std::string>& mine = ids.emplace_back();
    for (const ReportRecord& record : program.records) {
      const std::string id = RecordId(program.path, record.position);
      std::string unique = id;
      for (int n = 2; !taken.insert(unique).second; ++n)
        unique = id + "-" + std::to_string(n);
      mine.push_back(unique);
    }
  }
  return ids;
}

}  // namespace report

std::string RecordId(std::string_view path, core::Position position) {
  std::uint32_t hash = 2166136261u;
  for (const char c : path) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", hash);
  return "r-" + std::string(hex) + "-" + std::to_string(position);
}

std::string ReportPage(const std::vector<ReportProgram>& programs, const ReportRun& run) {
  const report::PageIds ids = report::MakeIds(programs);
  std::string page;
  std::string_view rest = report::kPage;
  // The page's @NAME@ places, each filled once; what fills them is not looked at again.
  while (!rest.empty()) {
    const std::size_t at = rest.find('@');
    const std::size_t end = at == std::string_view::npos ? at : rest.find('@', at + 1);
    if (end == std::string_view::npos) {
      page += rest;
      break;
    }
    page += rest.substr(0, at);
    const std::optional<std::string> filled =
        Place(rest.substr(at + 1, end - at - 1), programs, run, ids);
    if (!filled) {
      page += rest.substr(at, end - at);  // not a place: the text as it is
      rest.remove_prefix(end);
      continue;
    }
    page += *filled;
    rest.remove_prefix(end + 1);
  }
  return page;
}

}  // namespace tvx::render
