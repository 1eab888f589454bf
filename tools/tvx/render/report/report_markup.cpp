// Texts as the report's markup: the user's texts (paths, the command line), the stream's texts
// (each byte a character), and the data the script reads.
#include <algorithm>
#include <cstdint>

#include "report_parts.h"
#include "text.h"

namespace tvx::render::report {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// A reference for & < > " and ', or nothing for another character.
const char* Reference(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\'':
      return "&#39;";
    default:
      return nullptr;
  }
}

}  // namespace

std::string HtmlText(std::string_view utf8) {
  std::string text;
  for (const char c : utf8) {
    if (const char* reference = Reference(c)) {
      text += reference;
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      text += "&#xFFFD;";
    } else {
      text += c;
    }
  }
  return text;
}

void AppendStreamHtml(std::string& html, std::string_view bytes) {
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (const char* reference = Reference(c)) {
      html += reference;
    } else if (b < 0x20 || (b >= 0x7F && b < 0xA0)) {
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

namespace {

// A character that changes how the text around it reads (a bidirectional control: U+061C,
// U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069) or is not seen at all (a zero-width
// character, a soft hyphen, a byte order mark).
bool Deceptive(char32_t c) {
  return c == 0x00AD || c == 0x061C || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) ||
         (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

char32_t CodePoint(std::string_view sequence) {
  if (sequence.size() == 1) return static_cast<unsigned char>(sequence[0]);
  char32_t c = static_cast<unsigned char>(sequence[0]) & (0x7F >> sequence.size());
  for (std::size_t i = 1; i < sequence.size(); ++i)
    c = c << 6 | (static_cast<unsigned char>(sequence[i]) & 0x3F);
  return c;
}

// Walks a text of the user's: `plain(sequence)` for each character shown as it is, `escape(text)`
// for each escape (\xHH for a control character's or an invalid sequence's bytes, \uHHHH for a
// deceptive character).
template <typename Plain, typename Escape>
void WalkPath(std::string_view path, Plain plain, Escape escape) {
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t n = Utf8Length(path.substr(i));
    const std::string_view sequence = path.substr(i, std::max<std::size_t>(n, 1));
    const char32_t c = n == 0 ? 0 : CodePoint(sequence);
    i += sequence.size();
    if (n != 0 && c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0) && !Deceptive(c)) {
      plain(sequence);
    } else if (n > 1 && c >= 0xA0) {
      std::string text = "\\u";
      for (int shift = 12; shift >= 0; shift -= 4)
        text += kHex[(c >> shift) & 15];
      escape(text);
    } else {
      std::string text;
      for (const char b : sequence) {
        text += "\\x";
        text += kHex[static_cast<unsigned char>(b) >> 4];
        text += kHex[static_cast<unsigned char>(b) & 15];
      }
      escape(text);
    }
  }
}

}  // namespace

std::string PathHtml(std::string_view path) {
  std::string html;
  WalkPath(
      path, [&](std::string_view c) { html += c.size() == 1 ? HtmlText(c) : std::string(c); },
      [&](const std::string& escape) { html += "<span class=\"esc\">" + escape + "</span>"; });
  return html;
}

std::string PathText(std::string_view path) {
  std::string text;
  WalkPath(
      path, [&](std::string_view c) { text += c; }, [&](const std::string& e) { text += e; });
  return text;
}

std::string CommandText(const std::vector<std::string>& command) {
  static constexpr std::string_view kPlain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./:=@%+,";
  std::string text;
  for (const std::string& word : command) {
    if (!text.empty()) text += ' ';
    if (!word.empty() && word.find_first_not_of(kPlain) == std::string_view::npos) {
      text += word;
    } else if (PathText(word) == word) {
      // Quoted as it is: a quote ends the quoting, is escaped and starts it again.
      text += '\'';
      for (const char c : word)
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
      text += '\'';
    } else {
      // The quoting that takes escapes, $'...': what PathText escapes, as it escapes it.
      text += "$'";
      WalkPath(
          word,
          [&](std::string_view c) {
            text += c == "'" || c == "\\" ? "\\" + std::string(c) : std::string(c);
          },
          [&](const std::string& e) { text += e; });
      text += '\'';
    }
  }
  return text;
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

std::string ScriptSafe(const std::string& json) {
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

}  // namespace tvx::render::report
