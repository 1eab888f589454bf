// Fuzz target for the report page: programs and records of any texts and paths (bytes of every
// value, quotes, "</script>", "<!--", "</noscript>") make a page whose markup holds only the page's
// own elements (no text opens one) and no bidirectional control, whose data elements hold no "<"
// at all (no text can end them or open a comment), parse as JSON and hold every program and
// record, and whose records' names and block lines read back from the markup as they were.
//
// Input layout: texts, each a length byte and that many bytes; in order: per program (up to 3)
// its path and a record count byte (modulo 4), then per record its name, class name, a stream
// text, a listing line, a block line and the stop phrase; then a word of the command line.
#include <nlohmann/json.hpp>

#include <cctype>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "report/report.h"
#include "text.h"

namespace tvx::fuzz {
namespace {

class Texts {
 public:
  Texts(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::string Next() {
    if (at_ >= size_) return {};
    const std::size_t length = data_[at_++];
    const std::size_t n = std::min(length, size_ - at_);
    std::string text(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return text;
  }
  std::size_t Count(std::size_t most) {
    if (at_ >= size_) return 0;
    return data_[at_++] % (most + 1);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// The text between `open` (from `from` on) and the next "</script>".
std::string Element(const std::string& page, const std::string& open, std::size_t* from) {
  const std::size_t start = page.find(open, *from);
  Check(start != std::string::npos, "the page holds its data element", open);
  const std::size_t body = start + open.size();
  const std::size_t end = page.find("</script>", body);
  Check(end != std::string::npos, "the data element is closed", open);
  *from = end;
  return page.substr(body, end - body);
}

// The elements the page's markup is made of.
const std::set<std::string> kElements = {
    "!doctype", "html",    "head",    "meta",    "title",    "style", "body",  "header",
    "h1",       "h2",      "h3",      "p",       "noscript", "div",   "label", "input",
    "button",   "span",    "main",    "section", "dl",       "dt",    "dd",    "time",
    "code",     "table",   "caption", "thead",   "tbody",    "tfoot", "tr",    "th",
    "td",       "details", "summary", "ul",      "li",       "a",     "script"};

// The markup's text read back: \xHH shown for a control character is that byte, character
// references are the characters they stand for, and nothing else is markup.
std::string Unescape(std::string_view html) {
  std::string text;
  static constexpr std::string_view kEsc = "<span class=\"esc\">\\x";
  while (!html.empty()) {
    if (html.starts_with(kEsc)) {
      text += render::Latin1ToUtf8(std::string(
          1, static_cast<char>(std::stoi(std::string(html.substr(kEsc.size(), 2)), nullptr, 16))));
      html.remove_prefix(kEsc.size() + 2 + std::string_view("</span>").size());
      continue;
    }
    Check(html.front() != '<', "no markup in a text", html);
    if (html.front() == '&') {
      const std::size_t end = html.find(';');
      const std::string_view name = html.substr(1, end - 1);
      text += name == "amp"    ? "&"
              : name == "lt"   ? "<"
              : name == "gt"   ? ">"
              : name == "quot" ? "\""
              : name == "#39"  ? "'"
                               : "?";
      html.remove_prefix(end + 1);
      continue;
    }
    text += html.front();
    html.remove_prefix(1);
  }
  return text;
}

// What a page shows of a name: control characters as \xHH, each as one character here.
std::string Shown(std::string_view bytes) {
  return render::Latin1ToUtf8(bytes);
}

}  // namespace
}  // namespace tvx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tvx;
  using namespace tvx::fuzz;
  Texts in(data, size);
  std::vector<render::ReportProgram> programs(in.Count(3));
  for (render::ReportProgram& program : programs) {
    program.path = in.Next();
    program.records.resize(in.Count(3));
    for (render::ReportRecord& record : program.records) {
      record.name = in.Next();
      record.className = in.Next();
      record.control = "PERSONA.Persona";
      record.position = 1 + record.name.size();
      record.decode.bytes = in.Next();
      record.decode.values.push_back({record.position, record.decode.bytes.size(), "text"});
      record.decode.listing.push_back({in.Next(), {0}, true, "", ""});
      record.decode.block.push_back({in.Next(), {}, true, "not from the stream", in.Next()});
      record.decode.properties.push_back({in.Next(), in.Next(), in.Next(), in.Next()});
      record.decode.stopped = in.Next();
    }
  }
  render::ReportRun run;
  run.generator = "tvx";
  run.command = {"tvx", "report", in.Next()};
  const std::string page = render::ReportPage(programs, run);

  // Outside the data elements and the style, every "<" opens or closes one of the page's own
  // elements; each record's body is in a <noscript> that nothing but its own end closes.
  const std::size_t dataStart = page.find("<script type=\"application/json\" id=\"tvx-data\">");
  Check(dataStart != std::string::npos, "the page holds its data");
  const std::size_t styleEnd = page.find("</style>");
  const std::string markup = page.substr(styleEnd, dataStart - styleEnd);
  for (std::size_t at = markup.find('<'); at != std::string::npos; at = markup.find('<', at + 1)) {
    std::size_t name = at + 1 + (markup[at + 1] == '/' ? 1 : 0);
    std::size_t end = name;
    while (end < markup.size() &&
           (std::isalnum(static_cast<unsigned char>(markup[end])) || markup[end] == '!'))
      ++end;
    std::string tag = markup.substr(name, end - name);
    for (char& c : tag)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Check(kElements.count(tag) != 0 && tag != "script", "only the page's own elements",
          markup.substr(at, 80));
  }
  // No text turns the page's text around: every bidirectional control of a path is an escape.
  const std::string head = page.substr(0, dataStart);
  for (const char* control : {"\xE2\x80\xAA", "\xE2\x80\xAB", "\xE2\x80\xAC", "\xE2\x80\xAD",
                              "\xE2\x80\xAE", "\xE2\x81\xA6", "\xE2\x81\xA7", "\xE2\x81\xA8",
                              "\xE2\x81\xA9", "\xE2\x80\x8E", "\xE2\x80\x8F", "\xD8\x9C"}) {
    Check(head.find(control) == std::string::npos, "no bidirectional control in the page's text");
  }
  for (std::size_t at = markup.find("<noscript>"); at != std::string::npos;
       at = markup.find("<noscript>", at + 1)) {
    const std::size_t end = markup.find("</noscript>", at);
    Check(end != std::string::npos, "a record's body is closed");
    const std::string body = markup.substr(at + 10, end - at - 10);
    Check(body.find("<noscript") == std::string::npos && body.find("</script") == std::string::npos,
          "nothing in a body closes or opens another", body);
  }

  // Each record's name, read back from its summary, and its block line from its body.
  // A record of a file and position already shown (the same path given twice, or records of
  // one place) gets "-2", "-3" and so on.
  std::size_t from = 0;
  std::set<std::string> ids;
  for (std::size_t p = 0; p < programs.size(); ++p) {
    for (const render::ReportRecord& record : programs[p].records) {
      const std::string first = render::RecordId(programs[p].path, record.position);
      std::string id = first;
      for (int n = 2; !ids.insert(id).second; ++n)
        id = first + "-" + std::to_string(n);
      const std::size_t at = markup.find("id=\"" + id + "\"", from);
      Check(at != std::string::npos, "every record in the page", id);
      const std::size_t nameAt = markup.find("<summary><span>", at) + 15;
      const std::string name =
          Unescape(markup.substr(nameAt, markup.find("</span><span>", nameAt) - nameAt));
      Check(name == (record.name.empty() ? "(given by position)" : Shown(record.name)),
            "a record's name as it was", name);
      const std::size_t block = markup.find("<h3>Property block</h3><div class=\"lines\">", at);
      Check(block != std::string::npos, "a record's block");
      const std::size_t text = markup.find('>', markup.find("<span class=\"free\"", block)) + 1;
      const std::string line = Unescape(markup.substr(text, markup.find("</span>\n", text) - text));
      Check(line == Shown(record.decode.block[0].text), "a block line as it was", line);
      from = at;
    }
  }

  // The data: no "<", JSON, a program's details for each program with records.
  std::size_t cursor = dataStart;
  const std::string summary =
      Element(page, "<script type=\"application/json\" id=\"tvx-data\">", &cursor);
  Check(summary.find('<') == std::string::npos, "no < in the data", summary);
  Check(nlohmann::json::parse(summary)["kind"] == "report", "the data's kind");
  for (std::size_t p = 0; p < programs.size(); ++p) {
    if (programs[p].records.empty()) continue;
    const std::string details = Element(
        page, "<script type=\"application/json\" id=\"tvx-program-" + std::to_string(p + 1) + "\">",
        &cursor);
    Check(details.find('<') == std::string::npos, "no < in a program's details", details);
    const nlohmann::json records = nlohmann::json::parse(details);
    Check(records.size() == programs[p].records.size(), "every record's details");
    for (std::size_t r = 0; r < records.size(); ++r) {
      Check(records[r]["name"].get<std::string>() == Shown(programs[p].records[r].name),
            "a record's name in its details");
    }
  }
  return 0;
}
