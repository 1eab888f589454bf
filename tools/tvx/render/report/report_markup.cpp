// Texts as the report's markup: the user's texts (paths, the command line), the stream's texts
// (each byte a character), and the data the script reads.
#include <algorithm>
#include <cstdint>

#include "json.h"
#include "report_parts.h"

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

std::string PathHtml(std::string_view path) {
  return HtmlText(Utf8Path(path));
}

std::string CommandText(const std::vector<std::string>& command) {
  static constexpr std::string_view kPlain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./:=@%+,";
  std::string text;
  for (const std::string& word : command) {
    if (!text.empty()) text += ' ';
    if (!word.empty() && word.find_first_not_of(kPlain) == std::string_view::npos) {
      text += word;
      continue;
    }
    text += '\'';
    for (const char c : word)
      text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    text += '\'';
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
