#include "text.h"

#include <algorithm>

namespace tvx::render {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendEscaped(std::string& text, unsigned char b) {
  text += "\\x";
  text.push_back(kHex[b >> 4]);
  text.push_back(kHex[b & 15]);
}

}  // namespace

std::string Printable(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '\\') {
      text += "\\\\";
    } else if (b >= 0x20 && b < 0x7F) {
      text.push_back(c);
    } else {
      AppendEscaped(text, b);
    }
  }
  return text;
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      text.push_back(c);
    } else {
      text.push_back(static_cast<char>(0xC0 | (b >> 6)));
      text.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return text;
}

std::size_t Utf8Length(std::string_view text) {
  const auto b = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = b(0);
  std::size_t n = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < n || b(1) < low || b(1) > high) return 0;
  for (std::size_t i = 2; i < n; ++i) {
    if (b(i) < 0x80 || b(i) > 0xBF) return 0;
  }
  return n;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = Utf8Length(text.substr(i));
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string PrintablePath(std::string_view path, bool utf8) {
  std::string text;
  for (std::size_t i = 0; i < path.size();) {
    const auto b = static_cast<unsigned char>(path[i]);
    const std::size_t n = Utf8Length(path.substr(i));
    // C1 control characters (U+0080 to U+009F) are controls as much as C0's.
    const bool control = b < 0x20 || b == 0x7F ||
                         (n == 2 && b == 0xC2 && static_cast<unsigned char>(path[i + 1]) < 0xA0);
    if (n == 1 && !control) {
      text.push_back(path[i]);
    } else if (n > 1 && utf8 && !control) {
      text.append(path.substr(i, n));
    } else {
      for (std::size_t k = 0; k < std::max<std::size_t>(n, 1); ++k)
        AppendEscaped(text, static_cast<unsigned char>(path[i + k]));
    }
    i += std::max<std::size_t>(n, 1);
  }
  return text;
}

std::vector<std::string_view> CrLfLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find("\r\n");
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 2);
  }
  return lines;
}

std::string_view FileLineEnd(const Writer& out) {
  return out.Terminal() ? "\n" : "\r\n";
}

void LineSplitter::Content(std::string_view bytes) {
  if (!open_) {
    open_ = true;
    if (handler_.start) handler_.start();
  }
  if (!bytes.empty() && handler_.bytes) handler_.bytes(bytes);
}

void LineSplitter::Feed(std::string_view text) {
  while (!text.empty()) {
    if (pendingCr_) {
      pendingCr_ = false;
      if (text.front() == '\n') {
        Content({});
        open_ = false;
        if (handler_.end) handler_.end();
        text.remove_prefix(1);
        continue;
      }
      Content("\r");
    }
    const std::size_t cr = text.find('\r');
    if (cr != 0) Content(text.substr(0, cr));
    if (cr == std::string_view::npos) return;
    pendingCr_ = true;
    text.remove_prefix(cr + 1);
  }
}

void LineSplitter::Finish() {
  if (pendingCr_) {
    pendingCr_ = false;
    Content("\r");
  }
  if (open_) {
    open_ = false;
    if (handler_.end) handler_.end();
  }
}

FileText::FileText(Writer& out)
    : out_(out),
      lines_({nullptr, [this](std::string_view bytes) { out_ << Printable(bytes); },
              [this] { out_ << "\n"; }}) {}

void FileText::Feed(std::string_view text) {
  if (out_.Terminal()) {
    lines_.Feed(text);
  } else {
    out_ << text;
  }
}

void FileText::Finish() {
  if (out_.Terminal()) lines_.Finish();
}

}  // namespace tvx::render
