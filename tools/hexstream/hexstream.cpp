#include "hexstream.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace tvx::hexstream {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

[[noreturn]] void Fail(int line, std::string_view what) {
  throw SyntaxError("line " + std::to_string(line) + ": " + std::string(what));
}

long long Integer(std::string_view text, int line) {
  long long value = 0;
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    Fail(line, "bad number '" + std::string(text) + "'");
  }
  return negative ? -value : value;
}

void Append(std::string& out, unsigned long long value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A quoted text from text[i] (its opening quote, or the u before it): its bytes, each followed
// by a zero byte when wide. Returns the position after the closing quote.
std::size_t AppendText(std::string_view text, std::size_t i, int line, std::string& out) {
  const bool wide = text[i] == 'u';
  i += wide ? 2 : 1;
  for (;;) {
    if (i >= text.size() || text[i] == '\n') Fail(line, "unterminated text");
    char ch = text[i++];
    if (ch == '"') break;
    if (ch == '\\') {
      if (i >= text.size()) Fail(line, "bad escape");
      const char e = text[i++];
      if (e == 'x') {
        if (i + 2 > text.size() || HexDigit(text[i]) < 0 || HexDigit(text[i + 1]) < 0) {
          Fail(line, "bad \\x escape");
        }
        ch = static_cast<char>(HexDigit(text[i]) * 16 + HexDigit(text[i + 1]));
        i += 2;
      } else {
        ch = e;
      }
    }
    out.push_back(ch);
    if (wide) out.push_back('\0');
  }
  return i;
}

// One token other than a text: a hexadecimal byte, w:N, l:N, z:N or r:N:XX.
void AppendToken(std::string_view token, int line, std::string& out) {
  if (token.size() == 2 && HexDigit(token[0]) >= 0 && HexDigit(token[1]) >= 0) {
    out.push_back(static_cast<char>(HexDigit(token[0]) * 16 + HexDigit(token[1])));
  } else if (token.starts_with("w:")) {
    Append(out, static_cast<unsigned long long>(Integer(token.substr(2), line)), 2);
  } else if (token.starts_with("l:")) {
    Append(out, static_cast<unsigned long long>(Integer(token.substr(2), line)), 4);
  } else if (token.starts_with("z:")) {
    const long long n = Integer(token.substr(2), line);
    if (n < 0 || n > (64LL << 20)) Fail(line, "bad count");
    out.append(static_cast<std::size_t>(n), '\0');
  } else if (token.starts_with("r:")) {
    const std::string_view rest = token.substr(2);
    const std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos || rest.size() != colon + 3) Fail(line, "bad r:N:XX");
    const long long n = Integer(rest.substr(0, colon), line);
    const int hi = HexDigit(rest[colon + 1]);
    const int lo = HexDigit(rest[colon + 2]);
    if (n < 0 || n > (64LL << 20) || hi < 0 || lo < 0) Fail(line, "bad r:N:XX");
    out.append(static_cast<std::size_t>(n), static_cast<char>(hi * 16 + lo));
  } else {
    Fail(line, "unknown token '" + std::string(token) + "'");
  }
}

}  // namespace

std::string Parse(std::string_view text) {
  std::string out;
  int line = 1;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
      ++i;
    } else if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
      ++i;
    } else if (c == '#') {
      while (i < text.size() && text[i] != '\n')
        ++i;
    } else if (c == '"' || (c == 'u' && i + 1 < text.size() && text[i + 1] == '"')) {
      i = AppendText(text, i, line, out);
    } else {
      std::size_t end = i;
      while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) &&
             text[end] != ',' && text[end] != '#') {
        ++end;
      }
      AppendToken(text.substr(i, end - i), line, out);
      i = end;
    }
  }
  return out;
}

namespace {

[[noreturn]] void FailWith(const std::string& what, int code) {
  throw std::runtime_error(what + ": " + std::strerror(code));
}

}  // namespace

std::string ReadAll(std::FILE* file, const std::string& name) {
  std::string text;
  char buffer[1 << 16];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    text.append(buffer, n);
  if (std::ferror(file)) FailWith("cannot read " + name, errno);
  return text;
}

std::string ReadFile(const std::string& path) {
  const std::string name = "\"" + path + "\"";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) FailWith("cannot read " + name, errno);
  try {
    std::string text = ReadAll(file, name);
    std::fclose(file);
    return text;
  } catch (...) {
    std::fclose(file);
    throw;
  }
}

void WriteFile(const std::string& path, std::string_view bytes) {
  const std::string what = "cannot write \"" + path + "\"";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) FailWith(what, errno);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const int code = errno;
  if (std::fclose(file) != 0 || !written) FailWith(what, written ? errno : code);
}

}  // namespace tvx::hexstream
