#include "report.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "codes.h"
#include "explanation.h"
#include "json.h"
#include "picture_format.h"
#include "provenance.h"
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

// Each line as [text, [values]] or [text, [], note]; [text, null] when not linked.
Json LinesJson(const std::vector<ReportLine>& lines) {
  Json json = Json::array();
  for (const ReportLine& line : lines) {
    Json item = {Bytes(line.text), line.linked ? Json(line.from) : Json(nullptr)};
    if (!line.note.empty()) item.push_back(line.note);
    json.push_back(std::move(item));
  }
  return json;
}

// What the list of records shows of a record, parsed when the page opens.
Json RecordSummary(const ReportRecord& record) {
  Json json = {{"name", Bytes(record.name)},
               {"class", Bytes(record.className)},
               {"control", record.control}};
  json["position"] = record.position;
  json["offset"] = record.position - 1;
  json["ended"] = StopCode(record.decode.stop.ended);
  return json;
}

// The rest of a record, parsed the first time one of its program's records is opened.
Json RecordDetails(const ReportRecord& record) {
  const ReportDecode& d = record.decode;
  Json json = {{"stopped", Bytes(d.stopped)}, {"bytes", Base64(d.bytes)}};
  // Each value as [its offset in the stream, the file bytes it consumed, what it was read as].
  Json values = Json::array();
  for (const ReportValue& v : d.values) {
    values.push_back({v.position - record.position, v.size, Bytes(v.what)});
  }
  json["values"] = std::move(values);
  json["listing"] = LinesJson(d.listing);
  json["block"] = LinesJson(d.block);
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

// The data elements: #tvx-data, the programs and their records' summaries, which the page
// shows at once; then #tvx-program-N for each program, its records' details, which it parses
// only when one of them is opened. So a page of many programs opens at the cost of its lists.
std::string ScriptData(const std::vector<ReportProgram>& programs, std::string_view generator) {
  Json data = {{"schema", kJsonSchema}, {"kind", "report"}};
  data["generator"] = generator;
  Json list = Json::array();
  std::string details;
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const ReportProgram& program = programs[p];
    Json json = Json::object();
    json["file"] = Utf8Path(program.path);
    if (!IsValidUtf8(program.path)) json["file_bytes"] = Bytes(program.path);
    json["size"] = program.size;
    json["error"] = program.error.empty() ? Json(nullptr) : Json(program.error);
    Json records = Json::array();
    Json more = Json::array();
    for (const ReportRecord& record : program.records) {
      records.push_back(RecordSummary(record));
      more.push_back(RecordDetails(record));
    }
    json["records"] = std::move(records);
    list.push_back(std::move(json));
    details += "<script type=\"application/json\" id=\"tvx-program-" + std::to_string(p + 1) +
               "\">" + ScriptSafe(more) + "</script>\n";
  }
  data["programs"] = std::move(list);
  return "<script type=\"application/json\" id=\"tvx-data\">" + ScriptSafe(data) + "</script>\n" +
         details;
}

std::string Title(const std::vector<ReportProgram>& programs) {
  if (programs.size() != 1) return "tvx report: " + std::to_string(programs.size()) + " programs";
  const std::string path = Utf8Path(programs.front().path);
  const std::size_t slash = path.find_last_of("/\\");
  return "tvx report: " + (slash == std::string::npos ? path : path.substr(slash + 1));
}

}  // namespace

std::string ReportPage(const std::vector<ReportProgram>& programs, std::string_view generator) {
  const std::string csp = "default-src 'none'; script-src '" + std::string(report::kScriptHash) +
                          "'; style-src '" + std::string(report::kStyleHash) +
                          "'; img-src data:; base-uri 'none'; form-action 'none'";
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
      page += HtmlText(generator);
    } else if (name == "TITLE") {
      page += HtmlText(Title(programs));
    } else if (name == "STYLE") {
      page += report::kStyle;
    } else if (name == "DATA") {
      page += ScriptData(programs, generator);
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

// The values and listing lines of a decode, as far as the page shows them.
class Collect final : public core::ExplainSink {
 public:
  explicit Collect(ReportDecode& d) : d_(d) {}
  bool Value(const core::ExplainedValue& v) override {
    if (v.End() - v.decode->start() > kMaxReportedBytes) {
      d_.tooLong = true;
      return false;
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
  void Block(const core::TextRef& block) override { block_ = block.Bytes(); }
  void Picture(const core::TextRef& bytes) override { d_.picture = bytes.Bytes(); }
  std::string block_;

 private:
  ReportDecode& d_;
};

}  // namespace

ReportDecode DecodeForReport(Decoder& decoder, InputSource& input, core::Position position,
                             bool offsets) {
  ReportDecode d;
  Collect collect(d);
  core::StreamDecode decode(decoder, input, position, offsets);
  const core::Explained e = core::Explain(decode, collect);
  d.stop = e.decode.stop;
  d.stopped = e.cut ? "the stream is longer than the page shows: only its first " +
                          std::to_string(kMaxReportedBytes) + " bytes are here"
                    : StoppedWords(e, d.listing.empty() ? "" : d.listing.back().text);
  const core::BlockLinks links =
      e.cut ? core::BlockLinks{} : core::LinkBlock(decoder, input, position, offsets);
  std::size_t l = 0;
  for (const std::string_view text : CrLfLines(collect.block_)) {
    ReportLine& line = d.block.emplace_back();
    line.text = text;
    line.linked = links.linked && l < links.sources.size();
    if (line.linked) {
      line.from = links.values[l];
      if (links.sources[l] == core::LineSource::kStartValue) line.note = "not from the stream";
      if (links.sources[l] == core::LineSource::kNotTraced)
        line.note = "not traced to a value read";
    }
    ++l;
  }
  d.bytes.resize(static_cast<std::size_t>(e.next - e.start));
  d.bytes.resize(
      input.ReadAt(e.start - 1, reinterpret_cast<std::uint8_t*>(d.bytes.data()), d.bytes.size()));
  return d;
}

}  // namespace tvx::render
