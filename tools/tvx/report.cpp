#include "report.h"

#include "common.h"
#include "report_assets.h"
#include "tvx/text.h"

namespace tvx::tool {

namespace {

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

// The bytes as text in the page's markup: & < > " and ' as character references; every other
// byte as the character of the same number, as the page's JSON carries texts.
std::string HtmlText(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
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
        if (b < 0x20 || (b >= 0x7F && b < 0xA0)) {
          text += "&#xFFFD;";
        } else if (b >= 0x80) {
          text += static_cast<char>(0xC0 | (b >> 6));
          text += static_cast<char>(0x80 | (b & 0x3F));
        } else {
          text += c;
        }
    }
  }
  return text;
}

void AppendIndexes(std::string& json, const std::vector<std::size_t>& indexes) {
  json += '[';
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    if (i > 0) json += ',';
    json += std::to_string(indexes[i]);
  }
  json += ']';
}

// Each line as [text, [values]] or [text, [], note]; [text, null] when not linked.
void AppendLines(std::string& json, const std::vector<ReportLine>& lines) {
  json += '[';
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ReportLine& line = lines[i];
    json += i > 0 ? ",\n  [" : "\n  [";
    json += JsonString(line.text) + ',';
    if (line.linked) {
      AppendIndexes(json, line.from);
    } else {
      json += "null";
    }
    if (!line.note.empty()) json += ',' + JsonString(line.note);
    json += ']';
  }
  json += ']';
}

void AppendRecord(std::string& json, const ReportRecord& record) {
  const ReportDecode& d = record.decode;
  json += "{\"name\": " + JsonString(record.name) + ", \"class\": " + JsonString(record.className) +
          ", \"control\": " + JsonString(record.control) +
          ", \"position\": " + NumberText(record.position) +
          ", \"offset\": " + NumberText(record.position - 1) +
          ",\n \"ended\": " + JsonString(d.ended) + ", \"stopped\": " + JsonString(d.stopped) +
          ",\n \"bytes\": \"" + Base64(d.bytes) + "\",\n \"values\": [";
  for (std::size_t i = 0; i < d.values.size(); ++i) {
    const ReportValue& v = d.values[i];
    json += i > 0 ? ",\n  [" : "\n  [";
    json += NumberText(v.position - record.position) + ',' +
            NumberText(static_cast<double>(v.size)) + ',' + JsonString(v.what) + ']';
  }
  json += "],\n \"listing\": ";
  AppendLines(json, d.listing);
  json += ",\n \"block\": ";
  AppendLines(json, d.block);
  json += ",\n \"picture\": ";
  if (d.picture) {
    json += "{\"format\": " + JsonString(PictureExtension(*d.picture)) +
            ", \"size\": " + NumberText(static_cast<double>(d.picture->size())) + ", \"data\": \"" +
            Base64(*d.picture) + "\"}";
  } else {
    json += "null";
  }
  json += '}';
}

// The data as JSON that can stand inside a script element: < > and &, which only strings hold,
// as \u escapes, so that no text of a program can end the element or open a comment in it.
std::string ScriptData(const std::vector<ReportProgram>& programs, std::string_view generator) {
  std::string json = "{\"schema\": \"tvx-report/1\", \"generator\": " + JsonString(generator) +
                     ",\n\"programs\": [";
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const ReportProgram& program = programs[p];
    json += p > 0 ? ",\n{" : "\n{";
    json += "\"path\": " + JsonString(program.path) +
            ", \"size\": " + NumberText(static_cast<double>(program.size)) +
            ", \"error\": " + (program.error.empty() ? "null" : JsonString(program.error)) +
            ", \"records\": [";
    for (std::size_t r = 0; r < program.records.size(); ++r) {
      json += r > 0 ? ",\n" : "\n";
      AppendRecord(json, program.records[r]);
    }
    json += "]}";
  }
  json += "]}";
  std::string safe;
  safe.reserve(json.size());
  for (const char c : json) {
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
  if (programs.size() != 1) return "tvx report: " + std::to_string(programs.size()) + " programs";
  const std::string& path = programs.front().path;
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

std::string_view PictureExtension(std::string_view bytes) {
  const auto starts = [bytes](std::string_view head) {
    return bytes.substr(0, head.size()) == head;
  };
  using namespace std::string_view_literals;
  if (starts("\0\0\1\0"sv)) return "ico";
  if (starts("\0\0\2\0"sv)) return "cur";
  if (starts("BM")) return "bmp";
  if (starts("GIF87a") || starts("GIF89a")) return "gif";
  if (starts("\xFF\xD8\xFF")) return "jpg";
  if (starts("\xD7\xCD\xC6\x9A") || starts("\1\0\x09\0"sv) || starts("\2\0\x09\0"sv)) return "wmf";
  if (starts("\1\0\0\0"sv) && bytes.size() >= 44 && bytes.substr(40, 4) == " EMF") return "emf";
  return "bin";
}

}  // namespace tvx::tool
