// tvx scan's lines. Piped, each record is one line of fixed columns (position, offset, name,
// class, control, form), after its file's path and a colon when there are several files, as grep
// prints it. On a terminal the records sit under one header line, each file's after a line with
// its path and each form's after a line naming the form, and the name comes last, so that a long
// one pushes no other column. A record of a control array shows as Name(Index).
#pragma once

#include <optional>
#include <string>

#include "scan.h"

namespace tvx::render {

// The record's name as shown: Name(Index) for a control array's, else Name.
std::string ShownName(const core::FoundRecord& record);
// "Form1", "MDIForm1 (MDI form)", "Thing (kind 0x1F)": the form and its kind where it is no plain
// form; "-" for none.
std::string FormWords(const std::optional<core::FormImage>& form);
// The image's place: "at 0x3A8, 375 bytes".
std::string ImageWords(const core::FormImage& image);

// The record's line as piped (without its line end); `several`: with its file's path.
std::string ScanLine(const core::FoundRecord& record, bool several, bool utf8);

// The terminal's header line, a file's line and a record's line (without their line ends).
std::string ScanHeader();
std::string ScanFileLine(const std::string& file, bool utf8);
std::string ScanTerminalLine(const core::FoundRecord& record);
// The line before the records of a form on a terminal: "form Form1 at 0x3A8, 375 bytes", or
// "in no form".
std::string ScanFormLine(const std::optional<core::FormImage>& form);

// tvx outline's lines (without their line ends): a form's, with why it gives no form where it
// gives none, the line of the records in no form, and a record's under them.
std::string OutlineFormLine(const core::FormImage& image, core::FormTrouble trouble);
std::string OutlineNoFormLine();
std::string OutlineRecordLine(const core::FoundRecord& record);

// The summary: "3 records: 1 PERSONA.Persona, 1 DTGRID.Almanac"; for several files
// "2 files, 1.2 MB: ..."; for one, after its path.
std::string ScanSummary(const core::ScanTotals& totals, bool several, const std::string& path,
                        bool all, bool utf8);

}  // namespace tvx::render
