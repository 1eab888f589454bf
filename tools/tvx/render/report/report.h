// The HTML report of programs and their controls: one page that holds everything (styles,
// script, pictures and data), opens from disk and fetches nothing. The page itself lives beside
// this file (report.html, report.css, report.js) and is built into tvx.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "decode.h"
#include "forms.h"
#include "writer.h"

namespace tvx::render {

// One value read from a stream: the bytes a block or listing line links to.
struct ReportValue {
  core::Position position = 0;  // its first byte
  std::uint64_t size = 0;       // the file bytes it consumed
  std::string what;             // what it was read as, with the value ("word 6", ...)
};

// A line of the listing or of the block, with the values it came from.
struct ReportLine {
  std::string text;
  std::vector<std::size_t> from;  // indexes into ReportDecode::values
  bool linked = true;             // false: where the line came from was not worked out
  std::string note;               // why `from` is empty ("not from the stream"), or ""
  std::string about;              // a block line's property: its name, type and meaning
};

// A property of a record's block, typed: what the page's table of properties shows.
struct ReportProperty {
  std::string path;     // Connect, Font.Name
  std::string value;    // as its line shows it (stream bytes)
  std::string meaning;  // its type and what its value means (PropertyWords)
  std::string bytes;    // where it came from: "0x4A0 (4), ..." or "" for a start value
};

// What the page shows of one decode.
struct ReportDecode {
  std::string bytes;  // the stream's bytes, from its start to the last byte read
  std::vector<ReportValue> values;
  std::vector<ReportLine> listing;
  std::vector<ReportLine> block;
  std::vector<ReportProperty> properties;
  core::StopInfo stop;
  std::string stopped;  // where and why the decode stopped, as a phrase
  std::optional<std::string> picture;
  std::size_t pictureAt = 0;  // where the picture's bytes lie in `bytes`
  bool tooLong = false;       // the stream was too long to show: what is here is its start
};

struct ReportRecord {
  core::Position position = 0;  // of the property stream
  std::string name;             // the control's name ("" for a stream named on the command line)
  std::string className;
  std::string control;                  // the deliverable that decodes it
  std::optional<core::FormImage> form;  // the form whose image holds it
  std::optional<std::int64_t> index;    // its index in its control array
  ReportDecode decode;
};

struct ReportProgram {
  std::string path;
  // The path that does not change with where the report is made from: the file's path below the
  // folder named on the command line, or its name when it was named itself ("" for `path`).
  // Its ids come from it, and a page to share shows it instead of the path.
  std::string key;
  std::uint64_t size = 0;
  std::string error;  // why the file could not be read, or ""
  std::vector<ReportRecord> records;
};

// What the page tells of the run that made it.
struct ReportRun {
  std::string generator;             // the tool and its version
  std::vector<std::string> command;  // the command line, word by word as given
  std::int64_t time = 0;             // when the page was made, in seconds since 1970 (UTC)
  std::uint64_t otherFiles = 0;      // files passed over: no Windows program, no record
  // A page to pass on: each program by its key, no command line, no time.
  bool shareable = false;
};

// The most of a stream the page shows: its values, lines and bytes stop there.
inline constexpr std::uint64_t kMaxReportedBytes = std::uint64_t{16} << 20;

// What the page shows of the decode of the stream at `position` of `input`: the lines linked to
// the values they came from, as tvx explain links them.
ReportDecode DecodeForReport(Decoder& decoder, InputSource& input, core::Position position,
                             bool offsets);

// The page for the programs: readable as it is (every program, record, block and listing in its
// markup), its script adding the bytes, the links between them, the filter, copy and save.
std::string ReportPage(const std::vector<ReportProgram>& programs, const ReportRun& run);

// A record's id in the page, from its program's key and its position (a link to it holds when the
// report is made again from other inputs, or from another folder): "r-", eight hex digits of the
// key's FNV-1a hash, "-" and the position.
std::string RecordId(std::string_view key, core::Position position);
// A program's id: "p-" and the eight hex digits of its key's hash.
std::string ProgramId(std::string_view key);

}  // namespace tvx::render
