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

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view bytes);

}  // namespace tvx::hexstream
