// Number and hexadecimal text as both output files show them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tvx {

// A short text held in place, for the numbers a line is built from without allocating.
class ShortText {
 public:
  static constexpr std::size_t kCapacity = 32;
  ShortText() = default;
  explicit ShortText(std::string_view text);
  // Views only of a named text or a line piece: a view of a temporary would outlive its bytes.
  operator std::string_view() const& { return {data_, size_}; }  // NOLINT: used as a piece
  operator std::string_view() const&& = delete;
  std::string_view View() const& { return {data_, size_}; }
  std::string_view View() const&& = delete;
  std::string ToString() const { return {data_, size_}; }

 private:
  friend ShortText NumberChars(double value);
  friend ShortText HexChars(double value);
  friend ShortText ColourChars(std::uint32_t raw);

  char data_[kCapacity];  // only the first size_ are set
  std::size_t size_ = 0;
};

// Decimal text with at most 15 significant digits (C's "%.15G"), except that negative zero is
// "0" and the infinities and NaN read "Infinity", "-Infinity" and "NaN".
std::string NumberText(double value);
ShortText NumberChars(double value);

// Upper-case hexadecimal text without leading zeros ("0" for 0). Negative or fractional input
// is taken at its whole, non-negative value.
std::string HexText(double value);
ShortText HexChars(double value);

// "&H" + eight upper-case hex digits + "&", the listing form of a colour.
ShortText ColourChars(std::uint32_t raw);

// The stored number of a colour: raw when raw <= threshold, else raw - 4294967296.
std::int64_t SignedColour(std::uint32_t raw, std::uint32_t threshold);

// The two's-complement value of a 16-bit and of a 32-bit field.
std::int32_t Signed16(std::uint16_t word);
std::int64_t Signed32(std::uint32_t value);

// A quoted form-source value: the text between double quotes, every inner quote doubled.
std::string QuotedValue(std::string_view text);
void AppendQuoted(std::string& out, std::string_view text);

// The text without the spaces it starts and ends with.
std::string_view TrimBlanks(std::string_view text);

// The IEEE 754 single-precision number whose bits are the given 32-bit value.
double LongToSingle(std::uint32_t bits);

}  // namespace tvx
