// The report's programs and their records: the markup that shows them without the script, and
// the data the script adds to a record when it is opened.
#include <algorithm>

#include <nlohmann/json.hpp>

#include "json.h"
#include "names.h"
#include "picture_format.h"
#include "report_parts.h"
#include "text.h"
#include "words.h"

namespace tvx::render::report {

namespace {

using Json = nlohmann::ordered_json;

// A stream text: each byte the character of the same number.
Json Bytes(std::string_view bytes) {
  return Latin1ToUtf8(bytes);
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
  // Each block line's property in words, or null.
  Json about = Json::array();
  for (const ReportLine& line : d.block)
    about.push_back(line.about.empty() ? Json(nullptr) : Bytes(line.about));
  json["about"] = std::move(about);
  // The picture's bytes are among the stream's: where they lie, not a copy.
  json["picture"] = d.picture ? Json{{"format", core::PictureExtension(*d.picture)},
                                     {"size", d.picture->size()},
                                     {"at", d.pictureAt}}
                              : Json(nullptr);
  return json;
}

std::string Dump(const Json& json) {
  return ScriptSafe(json.dump(-1, ' ', true));
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

// The typed properties as a table, closed until opened: with script or without.
std::string PropertiesHtml(const std::vector<ReportProperty>& properties) {
  if (properties.empty()) return "";
  std::string html = "<details class=\"props\"><summary>Properties, typed (" +
                     std::to_string(properties.size()) +
                     ")</summary><table><thead><tr><th>Property</th><th>Value</th>"
                     "<th>Type and meaning</th><th>Offset (size)</th></tr></thead><tbody>";
  for (const ReportProperty& p : properties) {
    // Every cell as stream text, one character a byte: no byte of it can turn the page's text
    // around, whatever a name or a value holds.
    html += "<tr><td>" + StreamHtml(p.path) + "</td><td><code>" + StreamHtml(p.value) +
            "</code></td><td>" + StreamHtml(p.meaning) + "</td><td class=\"num\">" +
            StreamHtml(p.bytes) + "</td></tr>";
  }
  return html + "</tbody></table></details>";
}

// A record's block and listing, or why it has none.
std::string BodyHtml(const ReportRecord& record) {
  if (record.control == "-") {
    return "<p class=\"stopped\">Not decoded: no plug-in decodes this class.</p>";
  }
  const ReportDecode& d = record.decode;
  std::string html = "<p class=\"stopped\">Stopped " + StreamHtml(d.stopped) + ".</p>";
  if (d.picture) {
    html += "<p class=\"meta\">A picture (" +
            HtmlText(std::string(core::PictureExtension(*d.picture))) + ", " +
            Plural(d.picture->size(), "byte") + "): the page's script shows it and saves it.</p>";
  }
  return html + "<div class=\"panes\"><section class=\"pane block\"><h3>Property block</h3>" +
         LinesHtml(d.block) + "</section><section class=\"pane listing\"><h3>Listing</h3>" +
         LinesHtml(d.listing) + "</section></div>" + PropertiesHtml(d.properties);
}

// A record: its summary (the cells of its row) and, opened, its block and listing. The body is
// in a <noscript>: without the script it is the page's own markup; with it, text that the parser
// passes over and the script makes into nodes when the record is opened, so that a page of
// thousands of records opens at the cost of its summaries.
std::string RecordHtml(const ReportRecord& record, const std::string& id, std::size_t p,
                       std::size_t r) {
  const std::string_view code = DecodeCode(record);
  return "<details class=\"record\" id=\"" + id + "\" data-p=\"" + std::to_string(p) +
         "\" data-r=\"" + std::to_string(r) + "\"><summary><span>" +
         (record.name.empty() ? "(given by position)" : StreamHtml(record.name)) +
         (record.index ? "(" + std::to_string(*record.index) + ")" : "") + "</span><span>" +
         StreamHtml(record.className) + "</span><span>" + HtmlText(record.control) +
         "</span><span class=\"num\">" + std::to_string(record.position) +
         "</span><span class=\"num\">" + OffsetText(record.position) + "</span><span class=\"code" +
         (code == "end_code" ? "" : " early") + "\">" + std::string(code) +
         "</span></summary><noscript><div class=\"body\">" + BodyHtml(record) +
         "<p class=\"self\"><a href=\"#" + id +
         "\">Link to this record</a></p></div></noscript></details>\n";
}

// The heading of a form's records: its kind and name and where its image lies; or of those in
// no form.
std::string FormHeading(const std::optional<core::FormImage>& form) {
  if (!form) return "<h3 class=\"form\">In no form</h3>\n";
  const std::string kind =
      form->kind == core::kFormKind ? "Form" : std::string(core::FormKindName(form->kind));
  return "<h3 class=\"form\">" +
         (kind.empty() ? "Image of kind " + std::to_string(form->kind) : HtmlText(kind)) + " " +
         StreamHtml(form->name) + " <span class=\"meta\">at " + OffsetText(form->offset + 1) +
         ", " + Plural(form->size, "byte") + "</span></h3>\n";
}

// The forms the program's records lie in.
std::size_t FormCount(const ReportProgram& program) {
  std::vector<std::uint64_t> images;
  for (const ReportRecord& record : program.records) {
    if (record.form) images.push_back(record.form->offset);
  }
  std::sort(images.begin(), images.end());
  return static_cast<std::size_t>(std::unique(images.begin(), images.end()) - images.begin());
}

// The records of a program, in a group for each form where the program has forms.
std::string RecordsHtml(const ReportProgram& program, const PageIds& ids, std::size_t p) {
  const auto& records = program.records;
  const bool forms = std::any_of(records.begin(), records.end(), [](const ReportRecord& record) {
    return record.form.has_value();
  });
  std::string html;
  for (std::size_t r = 0; r < records.size(); ++r) {
    const bool starts = r == 0 || records[r].form != records[r - 1].form;
    if (forms && starts)
      html += (r == 0 ? "" : "</div>\n") + std::string("<div class=\"form\">") +
              FormHeading(records[r].form);
    html += RecordHtml(records[r], ids.records[p][r], p, r);
  }
  if (forms && !records.empty()) html += "</div>\n";
  return html;
}

}  // namespace

bool Shown(const ReportProgram& program) {
  return program.error.empty() || !program.records.empty();
}

std::string_view DecodeCode(const ReportRecord& record) {
  return record.control == "-" ? "not_decoded" : core::StopCode(record.decode.stop.ended);
}

bool EndedEarly(const ReportRecord& record) {
  return record.control != "-" && record.decode.stop.ended != DecodeEnd::kEndCode;
}

std::string RecordLabel(const ReportRecord& record) {
  return (record.name.empty() ? "the stream" : StreamHtml(record.name)) + " at position " +
         PlaceText(record.position);
}

std::string ProgramsHtml(const std::vector<ReportProgram>& programs, const ReportRun& run,
                         const PageIds& ids) {
  std::string html;
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const ReportProgram& program = programs[p];
    if (!Shown(program)) continue;
    html += "<section class=\"program\" id=\"" + ids.programs[p] + "\">\n<h2>" +
            ShownPath(program, run) + "</h2>\n<p class=\"meta\">" + Plural(program.size, "byte") +
            ", " + Plural(program.records.size(), "record");
    if (const std::size_t forms = FormCount(program); forms > 0)
      html += " in " + Plural(forms, "form");
    if (!program.error.empty()) {
      html += "; not read to its end: " + HtmlText(program.error);
    } else if (program.records.empty()) {
      html +=
          "; a stream without its record is shown with <code>--stream</code> (see the "
          "overview)";
    }
    html += "</p>\n";
    if (!program.records.empty()) {
      // The column names; the script makes them buttons that sort the records. Without it, names
      // a screen reader need not hear: each cell tells its own.
      html +=
          "<div class=\"cols\" aria-hidden=\"true\"><span>Name</span><span>Class</span>"
          "<span>Control</span><span class=\"num\">Position</span><span "
          "class=\"num\">Offset</span><span>Decode</span></div>\n";
    }
    html += RecordsHtml(program, ids, p);
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
  if (!run.shareable) data["time"] = run.time;
  std::string html =
      "<script type=\"application/json\" id=\"tvx-data\">" + Dump(data) + "</script>\n";
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
            Dump(records) + "</script>\n" + bytes;
  }
  return html;
}

}  // namespace tvx::render::report
