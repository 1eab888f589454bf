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

// The page's title: its one program's file name, or how many programs it shows. As markup for
// the heading, as text for the title (where the escapes cannot be marked).
std::string Title(const std::vector<ReportProgram>& programs, bool markup) {
  if (programs.size() != 1) return "tvx report: " + Plural(programs.size(), "program");
  std::string_view path = programs.front().path;
  const std::size_t slash = path.find_last_of("/\\");
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  return "tvx report: " +
         (markup ? report::PathHtml(path) : report::HtmlText(report::PathText(path)));
}

// The FNV-1a hash of a key, as eight hex digits.
std::string KeyHash(std::string_view key) {
  std::uint32_t hash = 2166136261u;
  for (const char c : key) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", hash);
  return hex;
}

// `id`, or with "-2", "-3", ... the first of them not taken yet; taken now.
std::string Unique(const std::string& id, std::set<std::string>& taken) {
  std::string unique = id;
  for (int n = 2; !taken.insert(unique).second; ++n)
    unique = id + "-" + std::to_string(n);
  return unique;
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
  if (name == "TITLE") return Title(programs, false);
  if (name == "HEADING") return Title(programs, true);
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
  // A second program of the same key (the same path given twice, or files of one name in two
  // folders named) and its records get "-2", and so on.
  PageIds ids;
  std::set<std::string> taken;
  for (const ReportProgram& program : programs) {
    ids.programs.push_back(Unique(ProgramId(KeyOf(program)), taken));
    std::vector<std::string>& mine = ids.records.emplace_back();
    for (const ReportRecord& record : program.records)
      mine.push_back(Unique(RecordId(KeyOf(program), record.position), taken));
  }
  return ids;
}

std::string_view KeyOf(const ReportProgram& program) {
  return program.key.empty() ? program.path : program.key;
}

std::string ShownPath(const ReportProgram& program, const ReportRun& run) {
  return PathHtml(run.shareable ? KeyOf(program) : program.path);
}

}  // namespace report

std::string RecordId(std::string_view key, core::Position position) {
  return "r-" + KeyHash(key) + "-" + std::to_string(position);
}

std::string ProgramId(std::string_view key) {
  return "p-" + KeyHash(key);
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
