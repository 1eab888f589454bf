// Annotated hex: the readable form in which test streams and samples are kept.
//
//   # comment to the end of the line
//   2D FF          bytes, two hex digits each
//   "abc"          the bytes of the text (escapes \" \\ \xHH)
//   u"abc"         the text as UTF-16LE units (low byte from the text, high byte 0)
//   w:120 w:-240   a 16-bit little-endian word (decimal, negative as two's complement, or 0x..)
//   l:847 l:-1     a 32-bit little-endian long
//   z:16           sixteen zero bytes
//   r:4:AB         the byte AB four times
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tvx::hexstream {

class SyntaxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The bytes the text describes; throws SyntaxError naming the line of a bad token.
std::string Parse(std::string_view text);

// Whole files; a failure throws std::runtime_error with the system's reason ("cannot read
// \"x.hex\": No such file or directory").
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view bytes);
// The rest of an open file (standard input, say), `name` in the reason.
std::string ReadAll(std::FILE* file, const std::string& name);

}  // namespace tvx::hexstream
