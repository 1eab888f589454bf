#include "tvx/text.h"

#include "tvx/long_texts.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace tvx {

ShortText::ShortText(std::string_view text) : size_(std::min(text.size(), kCapacity)) {
  std::copy_n(text.data(), size_, data_);
}

ShortText NumberChars(double value) {
  // One object, filled in place and returned as it is.
  ShortText text;
  char* const first = text.data_;
  char* const last = text.data_ + ShortText::kCapacity;
  std::to_chars_result result{first, std::errc()};
  const auto word = [&](std::string_view w) { result.ptr = std::copy(w.begin(), w.end(), first); };
  if (std::isnan(value)) {
    word("NaN");
  } else if (std::isinf(value)) {
    word(value > 0 ? "Infinity" : "-Infinity");
  } else if (value == 0) {
    word("0");  // negative zero too
  } else if (std::abs(value) < 1e15 && std::trunc(value) == value) {
    // Whole numbers of at most 15 digits, nearly every number a stream holds, print as their
    // digits under "%.15G" too.
    result = std::to_chars(first, last, static_cast<std::int64_t>(value));
  } else {
    // The shortest of fixed and exponent form for 15 significant digits ("1.5E+20"), by C's
    // printf itself, in the C locale these programs never leave: rare enough that its speed does
    // not matter, and the tables of a floating-point std::to_chars would add some 170 KB to every
    // Windows program. (MinGW's printf is its own C99 one, not the system runtime's.)
    char digits[ShortText::kCapacity];
    const int n = std::snprintf(digits, sizeof digits, "%.15G", value);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof digits) {
      result.ec = std::errc::value_too_large;
    } else {
      result.ptr = std::copy_n(digits, n, first);
    }
  }
  text.size_ = result.ec == std::errc() ? static_cast<std::size_t>(result.ptr - first) : 0;
  return text;
}

std::string NumberText(double value) {
  return NumberChars(value).ToString();
}

ShortText HexChars(double value) {
  std::uint64_t whole = 0;
  if (value >= 18446744073709551616.0) {  // 2^64: the first number no 64-bit whole holds
    whole = ~std::uint64_t{0};
  } else if (value >= 1) {
    whole = static_cast<std::uint64_t>(value);
  }
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char buffer[16];
  char* first = buffer + sizeof buffer;
  do {
    *--first = kDigits[whole & 0xF];
    whole >>= 4;
  } while (whole != 0);
  return ShortText(
      std::string_view(first, static_cast<std::size_t>(buffer + sizeof buffer - first)));
}

std::string HexText(double value) {
  return HexChars(value).ToString();
}

ShortText ColourChars(std::uint32_t raw) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  ShortText text(std::string_view("&H00000000&"));
  for (int i = 0; i < 8; ++i)
    text.data_[9 - i] = kDigits[(raw >> (4 * i)) & 0xF];
  return text;
}

std::int64_t SignedColour(std::uint32_t raw, std::uint32_t threshold) {
  return raw <= threshold ? std::int64_t{raw} : std::int64_t{raw} - 4294967296;
}

std::int32_t Signed16(std::uint16_t word) {
  return word > 32767 ? std::int32_t{word} - 65536 : std::int32_t{word};
}

std::int64_t Signed32(std::uint32_t value) {
  return value > 2147483647u ? std::int64_t{value} - 4294967296 : std::int64_t{value};
}

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  // A long text left in the file by a tool's decode: marked to have its quotes doubled when it
  // is expanded.
  if (const LongTexts* texts = LongTexts::Active(); texts != nullptr && texts->Find(text)) {
    out.append(texts->QuotedStandIn(text));
    out.push_back('"');
    return;
  }
  // Up to and including each inner quote, then that quote once more.
  for (std::size_t quote; (quote = text.find('"')) != std::string_view::npos;
       text.remove_prefix(quote + 1)) {
    out.append(text.substr(0, quote + 1));
    out.push_back('"');
  }
  out.append(text);
  out.push_back('"');
}

std::string QuotedValue(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  AppendQuoted(quoted, text);
  return quoted;
}

double LongToSingle(std::uint32_t bits) {
  return static_cast<double>(std::bit_cast<float>(bits));
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  return text;
}

}  // namespace tvx
