// The parts the report's page is made of, shared by the files that make them: the markup of texts
// (report_markup.cpp), the overview (report_overview.cpp), the programs and their records
// (report_records.cpp); report.cpp puts them into the page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report.h"

namespace tvx::render::report {

// ---- Texts as markup (report_markup.cpp).

// UTF-8 text in the page's markup: & < > " and ' as character references, control characters as
// U+FFFD.
std::string HtmlText(std::string_view utf8);
// A stream text in the page's markup: each byte the character of the same number; control
// characters (C0, DEL, C1), which would not show, as a visible, marked \xHH.
void AppendStreamHtml(std::string& html, std::string_view bytes);
std::string StreamHtml(std::string_view bytes);
// A path or another text of the user's: UTF-8 where it is; what would not show, or would change
// how the text around it reads, as a marked escape of what it is, so that the name can be read
// and typed: a control character or a byte that is not UTF-8 as \xHH (each byte), a
// bidirectional control or a character not seen (U+202E, U+200B, ...) as \uHHHH.
std::string PathHtml(std::string_view path);
// The same as plain text, for where no markup goes (the page's title).
std::string PathText(std::string_view path);
// The command line as a POSIX shell takes it back: a word quoted when it holds more than
// letters, digits and a few signs; as $'...' with PathText's escapes when it holds what they
// escape.
std::string CommandText(const std::vector<std::string>& command);
std::string Base64(std::string_view bytes);
// JSON text that can stand inside a script element: <, > and & as JSON escapes.
std::string ScriptSafe(const std::string& json);

// ---- What the page says of records and programs.

// Each program's and each record's id, unique in the page.
struct PageIds {
  std::vector<std::string> programs;
  std::vector<std::vector<std::string>> records;
};
PageIds MakeIds(const std::vector<ReportProgram>& programs);

// A program's key, or its path where it has none.
std::string_view KeyOf(const ReportProgram& program);
// The path a program is shown by, as markup: its key on a page to share.
std::string ShownPath(const ReportProgram& program, const ReportRun& run);

// A program has its section: it was read, or records were found before it could not be.
bool Shown(const ReportProgram& program);
// The Decode column's code: "end_code", "input_ended", ..., "not_decoded".
std::string_view DecodeCode(const ReportRecord& record);
bool EndedEarly(const ReportRecord& record);
// "Calendar1 at position 1425 (0x590)", as markup.
std::string RecordLabel(const ReportRecord& record);

// ---- The page's sections.

// The overview (report_overview.cpp): how the page was made, what was read, the program table,
// the records per control, the decodes that ended early, the files not read, the legend.
std::string Overview(const std::vector<ReportProgram>& programs, const ReportRun& run,
                     const PageIds& ids);
// Each program's section with its records (report_records.cpp).
std::string ProgramsHtml(const std::vector<ReportProgram>& programs, const ReportRun& run,
                         const PageIds& ids);
// The data elements the script reads (report_records.cpp).
std::string ScriptData(const std::vector<ReportProgram>& programs, const ReportRun& run);

}  // namespace tvx::render::report
