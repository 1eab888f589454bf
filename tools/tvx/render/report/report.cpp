#include "report.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>

#include <nlohmann/json.hpp>

#include "names.h"
#include "explanation.h"
#include "json.h"
#include "picture_format.h"
#include "report_assets.h"
#include "text.h"
#include "words.h"

namespace tvx::render {

namespace {

using Json = nlohmann::ordered_json;

// A stream text: each byte the character of the same number.
Json Bytes(std::string_view bytes) {
  return Latin1ToUtf8(bytes);
}

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t j = 0; j < 3; ++j) {
      group = group << 8 | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0u);
    }
    for (std::size_t j = 0; j < 4; ++j)
      text += j <= n ? kDigits[(group >> (18 - 6 * j)) & 63] : '=';
  }
  return text;
}

// UTF-8 text in the page's markup: & < > " and ' as character references, control characters as
// U+FFFD.
std::string HtmlText(std::string_view utf8) {
  std::string text;
  for (const char c : utf8) {
    switch (c) {
      case '&':
        text += "&amp;";
        break;
      case '<':
        text += "&lt;";
        break;
      case '>':
        text += "&gt;";
        break;
      case '"':
        text += "&quot;";
        break;
      case '\'':
        text += "&#39;";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          text += "&#xFFFD;";
        } else {
          text += c;
        }
    }
  }
  return text;
}

// A stream text in the page's markup: each byte the character of the same number; control
// characters (C0, DEL, C1), which would not show, as a visible \xHH.
void AppendStreamHtml(std::string& html, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    switch (c) {
      case '&':
        html += "&amp;";
        continue;
      case '<':
        html += "&lt;";
        continue;
      case '>':
        html += "&gt;";
        continue;
      case '"':
        html += "&quot;";
        continue;
      case '\'':
        html += "&#39;";
        continue;
      default:
        break;
    }
    if (b < 0x20 || (b >= 0x7F && b < 0xA0)) {
      html += "<span class=\"esc\">\\x";
      html += kHex[b >> 4];
      html += kHex[b & 15];
      html += "</span>";
    } else if (b >= 0xA0) {
      html += static_cast<char>(0xC0 | b >> 6);
      html += static_cast<char>(0x80 | (b & 0x3F));
    } else {
      html += c;
    }
  }
}

std::string StreamHtml(std::string_view bytes) {
  std::string html;
  AppendStreamHtml(html, bytes);
  return html;
}

// A path or another text of the user's: UTF-8 where it is, each other byte as U+FFFD.
std::string PathHtml(std::string_view path) {
  return HtmlText(Utf8Path(path));
}

// Each line's values by index, or null when where it came from was not worked out.
Json LinksJson(const std::vector<ReportLine>& lines) {
  Json json = Json::array();
  for (const ReportLine& line : lines)
    json.push_back(line.linked ? Json(line.from) : Json(nullptr));
  return json;
}

// What the script needs of a record, besides what the markup shows.
Json RecordDetails(const ReportRecord& record) {
  const ReportDecode& d = record.decode;
  Json json = {{"position", record.position}, {"name", Bytes(record.name)}};
  // Each value as [its offset in the stream, the file bytes it consumed, what it was read as].
  Json values = Json::array();
  for (const ReportValue& v : d.values) {
    values.push_back({v.position - record.position, v.size, Bytes(v.what)});
  }
  json["values"] = std::move(values);
  json["listing"] = LinksJson(d.listing);
  json["block"] = LinksJson(d.block);
  // The picture's bytes are among the stream's: where they lie, not a copy.
  json["picture"] = d.picture ? Json{{"format", core::PictureExtension(*d.picture)},
                                     {"size", d.picture->size()},
                                     {"at", d.pictureAt}}
                              : Json(nullptr);
  return json;
}

// JSON that can stand inside a script element: < > and &, which only its strings hold, as JSON
// escapes, so that no text of a program can end the element or open a comment in it.
std::string ScriptSafe(const Json& json) {
  const std::string text = json.dump(-1, ' ', true);
  std::string safe;
  safe.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '<':
        safe += "\\u003c";
        break;
      case '>':
        safe += "\\u003e";
        break;
      case '&':
        safe += "\\u0026";
        break;
      default:
        safe += c;
    }
  }
  return safe;
}

std::string Title(const std::vector<ReportProgram>& programs) {
  if (programs.size() != 1) return "tvx report: " + Plural(programs.size(), "program");
  const std::string path = Utf8Path(programs.front().path);
  const std::size_t slash = path.find_last_of("/\\");
  return "tvx report: " + (slash == std::string::npos ? path : path.substr(slash + 1));
}

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

// A word of the command line as a POSIX shell takes it back: quoted when it holds more than
// letters, digits and a few signs.
std::string ShellWord(std::string_view word) {
  static constexpr std::string_view kPlain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./:=@%+,";
  if (!word.empty() && word.find_first_not_of(kPlain) == std::string_view::npos) {
    return std::string(word);
  }
  std::string quoted = "'";
  for (const char c : word)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
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

std::string_view DecodeCode(const ReportRecord& record) {
  return record.control == "-" ? "not_decoded" : core::StopCode(record.decode.stop.ended);
}

bool EndedEarly(const ReportRecord& record) {
  return record.control != "-" && record.decode.stop.ended != DecodeEnd::kEndCode;
}

bool Shown(const ReportProgram& program) {
  return program.error.empty() || !program.records.empty();
}

// Each record's id, unique in the page: a second record of the same file and position (the same
// path given twice) gets "-2", and so on.
std::vector<std::vector<std::string>> RecordIds(const std::vector<ReportProgram>& programs) {
  std::vector<std::vector<std::string>> ids;
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

std::string RecordLabel(const ReportRecord& record) {
  return (record.name.empty() ? "the stream" : StreamHtml(record.name)) + " at position " +
         PlaceText(record.position);
}

// The overview: when and how the page was made, what was read, the records per control, the
// decodes that ended early, the files that could not be read, and what the Decode column says.
std::string Overview(const std::vector<ReportProgram>& programs, const ReportRun& run,
                     const std::vector<std::vector<std::string>>& ids) {
  const auto [iso, shown] = TimeTexts(run.time);
  std::string html = "<section id=\"overview\" aria-labelledby=\"overview-title\">\n";
  html += "<h2 id=\"overview-title\">Overview</h2>\n<dl class=\"facts\">\n";
  html += "<dt>Made</dt><dd><time datetime=\"" + iso + "\">" + shown + "</time> by " +
          HtmlText(run.generator) + "</dd>\n";
  std::string command;
  for (const std::string& word : run.command)
    command += (command.empty() ? "" : " ") + ShellWord(word);
  html += "<dt>Command</dt><dd><code class=\"command\">" + PathHtml(command) + "</code></dd>\n";
  std::uint64_t listed = 0;
  std::uint64_t bytes = 0;
  std::vector<const ReportProgram*> unreadable;
  for (const ReportProgram& program : programs) {
    if (Shown(program)) {
      ++listed;
      bytes += program.size;
    }
    if (!program.error.empty()) unreadable.push_back(&program);
  }
  html += "<dt>Read</dt><dd>" + Plural(listed, "program") + " (" + Plural(bytes, "byte") + ")";
  if (run.otherFiles != 0) {
    html += "; " + Plural(run.otherFiles, "other file") +
            " passed over (neither a Windows program nor holding a record)";
  }
  if (!unreadable.empty()) html += "; " + Plural(unreadable.size(), "file") + " not read";
  html += "</dd>\n</dl>\n";

  // Records per control, in the order of the controls' first records.
  std::vector<std::pair<std::string, std::pair<std::uint64_t, std::uint64_t>>> counts;
  std::vector<std::pair<std::size_t, std::size_t>> early;  // program, record
  std::uint64_t records = 0;
  for (std::size_t p = 0; p < programs.size(); ++p) {
    for (std::size_t r = 0; r < programs[p].records.size(); ++r) {
      const ReportRecord& record = programs[p].records[r];
      auto row = std::find_if(counts.begin(), counts.end(),
                              [&](const auto& c) { return c.first == record.control; });
      if (row == counts.end()) row = counts.insert(counts.end(), {record.control, {0, 0}});
      ++row->second.first;
      ++records;
      if (EndedEarly(record)) {
        ++row->second.second;
        early.emplace_back(p, r);
      }
    }
  }
  if (!counts.empty()) {
    html +=
        "<table class=\"controls\">\n<caption>Records per control</caption>\n<thead><tr>"
        "<th scope=\"col\">Control</th><th scope=\"col\" class=\"num\">Records</th>"
        "<th scope=\"col\" class=\"num\">Ended early</th></tr></thead>\n<tbody>\n";
    for (const auto& [control, n] : counts) {
      html += "<tr><td>" + HtmlText(control == "-" ? "- (no plug-in)" : control) +
              "</td><td class=\"num\">" + std::to_string(n.first) + "</td><td class=\"num\">" +
              std::to_string(n.second) + "</td></tr>\n";
    }
    html += "</tbody>\n<tfoot><tr><th scope=\"row\">All</th><td class=\"num\">" +
            std::to_string(records) + "</td><td class=\"num\">" + std::to_string(early.size()) +
            "</td></tr></tfoot>\n</table>\n";
  }
  if (early.empty()) {
    if (records != 0) html += "<p class=\"meta\">Every decode reached the stream's end code.</p>\n";
  } else {
    html += std::string("<details class=\"list\"") + (early.size() <= 10 ? " open" : "") +
            "><summary>Decodes that ended early (" + std::to_string(early.size()) +
            ")</summary>\n<ul>\n";
    for (const auto& [p, r] : early) {
      const ReportRecord& record = programs[p].records[r];
      html += "<li><a href=\"#" + ids[p][r] + "\">" + PathHtml(programs[p].path) + ": " +
              RecordLabel(record) + "</a>: <code>" + std::string(DecodeCode(record)) +
              "</code></li>\n";
    }
    html += "</ul>\n</details>\n";
  }
  if (!unreadable.empty()) {
    html += "<details class=\"list\" open><summary>Files that could not be read (" +
            std::to_string(unreadable.size()) + ")</summary>\n<ul>\n";
    for (const ReportProgram* program : unreadable)
      html += "<li>" + PathHtml(program->path) + ": " + HtmlText(program->error) + "</li>\n";
    html += "</ul>\n</details>\n";
  }
  html +=
      "<details class=\"list\" open><summary>The Decode column</summary>\n<dl class=\"legend\">\n";
  for (const auto& [code, text] : kLegend)
    html += "<dt><code>" + std::string(code) + "</code></dt><dd>" + HtmlText(text) + "</dd>\n";
  html += "</dl>\n</details>\n</section>\n";
  return html;
}

// A block or listing: its lines as text, one a line, as the plug-in writes them; a line not
// linked to bytes is marked, with its note (why) shown after it by the page's style. Text rather
// than an element per line, so that a page of many records opens at the cost of its text; the
// script makes the lines of a record it opens into a list.
std::string LinesHtml(const std::vector<ReportLine>& lines) {
  if (lines.empty()) return "<div class=\"lines\"><span class=\"none\">(no lines)</span></div>";
  std::string html = "<div class=\"lines\">";
  for (const ReportLine& line : lines) {
    const bool linked = line.linked && !line.from.empty();
    if (!linked) {
      html += "<span class=\"free\"";
      if (!line.note.empty()) html += " data-note=\"" + HtmlText(line.note) + "\"";
      html += ">";
    }
    AppendStreamHtml(html, line.text);
    html += linked ? "\n" : "</span>\n";
  }
  return html + "</div>";
}

// A record: its summary (the cells of its row) and, opened, its block and listing. The body is
// in a <noscript>: without the script it is the page's own markup; with it, text that the parser
// passes over and the script makes into nodes when the record is opened, so that a page of
// thousands of records opens at the cost of its summaries.
std::string RecordHtml(const ReportRecord& record, const std::string& id, std::size_t p,
                       std::size_t r) {
  const std::string_view code = DecodeCode(record);
  std::string html = "<details class=\"record\" id=\"" + id + "\" data-p=\"" + std::to_string(p) +
                     "\" data-r=\"" + std::to_string(r) + "\"><summary><span>" +
                     (record.name.empty() ? "(given by position)" : StreamHtml(record.name)) +
                     "</span><span>" + StreamHtml(record.className) + "</span><span>" +
                     HtmlText(record.control) + "</span><span class=\"num\">" +
                     std::to_string(record.position) + "</span><span class=\"num\">" +
                     OffsetText(record.position) + "</span><span class=\"code" +
                     (code == "end_code" ? "" : " early") + "\">" + std::string(code) +
                     "</span></summary><noscript><div class=\"body\">";
  if (record.control == "-") {
    html += "<p class=\"stopped\">Not decoded: no plug-in decodes this class.</p>";
  } else {
    const ReportDecode& d = record.decode;
    html += "<p class=\"stopped\">Stopped " + StreamHtml(d.stopped) + ".</p>";
    if (d.picture) {
      html += "<p class=\"meta\">A picture (" +
              HtmlText(std::string(core::PictureExtension(*d.picture))) + ", " +
              Plural(d.picture->size(), "byte") + "): the page's script shows it and saves it.</p>";
    }
    html += "<div class=\"panes\"><section class=\"pane block\"><h3>Property block</h3>" +
            LinesHtml(d.block) + "</section><section class=\"pane listing\"><h3>Listing</h3>" +
            LinesHtml(d.listing) + "</section></div>";
  }
  return html + "<p class=\"self\"><a href=\"#" + id +
         "\">Link to this record</a></p></div></noscript></details>\n";
}

std::string ProgramsHtml(const std::vector<ReportProgram>& programs,
                         const std::vector<std::vector<std::string>>& ids) {
  std::string html;
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const ReportProgram& program = programs[p];
    if (!Shown(program)) continue;
    html += "<section class=\"program\">\n<h2>" + PathHtml(program.path) +
            "</h2>\n<p class=\"meta\">" + Plural(program.size, "byte") + ", " +
            Plural(program.records.size(), "record");
    if (!program.error.empty()) html += "; not read to its end: " + HtmlText(program.error);
    html += "</p>\n";
    if (!program.records.empty()) {
      html +=
          "<div class=\"cols\" aria-hidden=\"true\"><span>Name</span><span>Class</span>"
          "<span>Control</span><span class=\"num\">Position</span><span "
          "class=\"num\">Offset</span><span>Decode</span></div>\n";
    }
    for (std::size_t r = 0; r < program.records.size(); ++r)
      html += RecordHtml(program.records[r], ids[p][r], p, r);
    html += "</section>\n";
  }
  return html;
}

// The data elements: #tvx-data, what the page tells of its making; then #tvx-program-N for each
// program, what the script needs of its records (values, links, picture), parsed only when one of
// them is opened, and #tvx-bytes-N-M for each record, its stream's bytes in base64, which the
// script decodes as its rows come on screen. So a page of many programs opens at the cost of its
// markup, and a record of megabytes at the cost of its rows.
std::string ScriptData(const std::vector<ReportProgram>& programs, const ReportRun& run) {
  Json data = {{"schema", kJsonSchema}, {"kind", "report"}};
  data["generator"] = run.generator;
  data["time"] = run.time;
  std::string html =
      "<script type=\"application/json\" id=\"tvx-data\">" + ScriptSafe(data) + "</script>\n";
  for (std::size_t p = 0; p < programs.size(); ++p) {
    if (!Shown(programs[p]) || programs[p].records.empty()) continue;
    Json records = Json::array();
    std::string bytes;
    for (std::size_t r = 0; r < programs[p].records.size(); ++r) {
      const ReportRecord& record = programs[p].records[r];
      records.push_back(RecordDetails(record));
      bytes += "<script type=\"text/plain\" id=\"tvx-bytes-" + std::to_string(p + 1) + "-" +
               std::to_string(r + 1) + "\">" + Base64(record.decode.bytes) + "</script>\n";
    }
    html += "<script type=\"application/json\" id=\"tvx-program-" + std::to_string(p + 1) + "\">" +
            ScriptSafe(records) + "</script>\n" + bytes;
  }
  return html;
}

std::string Summary(const std::vector<ReportProgram>& programs, const ReportRun& run) {
  std::uint64_t shown = 0;
  std::uint64_t records = 0;
  for (const ReportProgram& program : programs) {
    shown += Shown(program) ? 1 : 0;
    records += program.records.size();
  }
  return Plural(shown, "program") + ", " + Plural(records, "record") + "; made by " +
         HtmlText(run.generator) + ".";
}

}  // namespace

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
  const std::string csp = "default-src 'none'; script-src '" + std::string(report::kScriptHash) +
                          "'; style-src '" + std::string(report::kStyleHash) +
                          "'; img-src data: blob:; base-uri 'none'; form-action 'none'; "
                          "require-trusted-types-for 'script'";
  const std::vector<std::vector<std::string>> ids = RecordIds(programs);
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
    const std::string_view name = rest.substr(at + 1, end - at - 1);
    if (name == "CSP") {
      page += csp;
    } else if (name == "GENERATOR") {
      page += HtmlText(run.generator);
    } else if (name == "TITLE") {
      page += HtmlText(Title(programs));
    } else if (name == "SUMMARY") {
      page += Summary(programs, run);
    } else if (name == "STYLE") {
      page += report::kStyle;
    } else if (name == "OVERVIEW") {
      page += Overview(programs, run, ids);
    } else if (name == "PROGRAMS") {
      page += ProgramsHtml(programs, ids);
    } else if (name == "DATA") {
      page += ScriptData(programs, run);
    } else if (name == "SCRIPT") {
      page += report::kScript;
    } else {
      page += rest.substr(at, end - at);  // not a place: the text as it is
      rest.remove_prefix(end);
      continue;
    }
    rest.remove_prefix(end + 1);
  }
  return page;
}

namespace {

// The values and listing lines of a decode, as far as the page shows them, and the values each
// block line came from.
class Collect final : public core::ExplainSink {
 public:
  explicit Collect(ReportDecode& d) : d_(d) {}
  bool Value(const core::ExplainedValue& v) override {
    if (v.End() - v.decode->start() > kMaxReportedBytes) {
      d_.tooLong = true;
      return false;
    }
    for (const std::size_t line : v.blockLines) {
      if (line >= feeds.size()) feeds.resize(line + 1);
      feeds[line].push_back(d_.values.size());
    }
    d_.values.push_back({v.position, v.consumed, ValueWords(v)});
    if (v.kind == ReadKind::kPictureBytes) d_.pictureAt = v.position - v.decode->start();
    return true;
  }
  bool ListingLine(const core::TextRef& line) override {
    ReportLine& shown = d_.listing.emplace_back();
    shown.text = line.Bytes();
    if (d_.values.empty()) {
      shown.note = "written before any read";
    } else {
      shown.from.push_back(d_.values.size() - 1);
    }
    return true;
  }
  std::vector<std::vector<std::size_t>> feeds;  // per block line, the values it came from

 private:
  ReportDecode& d_;
};

}  // namespace

ReportDecode DecodeForReport(Decoder& decoder, InputSource& input, core::Position position,
                             bool offsets) {
  ReportDecode d;
  Collect collect(d);
  const core::Explanation x = core::Explain(decoder, input, position, offsets, 0, collect);
  const core::Explained& e = x.e;
  d.stop = e.decode.stop;
  d.stopped = e.cut ? "the stream is longer than the page shows: only its first " +
                          std::to_string(kMaxReportedBytes) + " bytes are here"
                    : StoppedWords(e, d.listing.empty() ? "" : d.listing.back().text);
  if (x.record) {
    const core::DecodedRecord& record = *x.record;
    if (record.picture) d.picture = record.Text(record.picture->held).Bytes();
    for (std::size_t l = 0; l < record.blockLines.size(); ++l) {
      ReportLine& line = d.block.emplace_back();
      line.text = record.Text(record.BlockLine(l)).Bytes();
      line.linked = true;
      if (l < collect.feeds.size()) line.from = collect.feeds[l];
      const core::LineSource source = x.links[l].source;
      if (source == core::LineSource::kStartValue) line.note = "not from the stream";
      if (source == core::LineSource::kNotTraced) line.note = "not traced to a value read";
    }
  }
  d.bytes.resize(static_cast<std::size_t>(e.next - e.start));
  d.bytes.resize(
      input.ReadAt(e.start - 1, reinterpret_cast<std::uint8_t*>(d.bytes.data()), d.bytes.size()));
  return d;
}

}  // namespace tvx::render
