#include "tvx/text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace tvx {

std::string NumberText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  if (value == 0) return "0";  // negative zero too
  char buffer[40];
  // Whole numbers of at most 15 digits, nearly every number a stream holds, print as their
  // digits under "%.15G" too; printing them directly saves most of a decode's time.
  if (std::abs(value) < 1e15 && std::trunc(value) == value) {
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer,
                                            static_cast<std::int64_t>(value));
    if (error == std::errc()) return std::string(buffer, end);
  }
  const int n = std::snprintf(buffer, sizeof buffer, "%.15G", value);
  return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string DecToHex(double value) {
  std::uint64_t whole = 0;
  if (value >= 18446744073709549568.0) {
    whole = ~std::uint64_t{0};
  } else if (value >= 1) {
    whole = static_cast<std::uint64_t>(value);
  }
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[whole & 0xF]);
    whole >>= 4;
  } while (whole != 0);
  return text;
}

std::string ColourText(double raw) {
  std::string hex = "0000000" + DecToHex(raw);
  return "&H" + hex.substr(hex.size() - 8) + "&";
}

double SignedColour(double raw, double threshold) {
  return raw <= threshold ? raw : raw - 4294967296.0;
}

double Signed16(double word) {
  return word > 32767 ? word - 65536 : word;
}

double Signed32(double value) {
  return value > 2147483647 ? value - 4294967296.0 : value;
}

std::string QuotedValue(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.push_back('"');
  for (const char c : text) {
    quoted.push_back(c);
    if (c == '"') quoted.push_back('"');
  }
  quoted.push_back('"');
  return quoted;
}

double LongToSingle(double bits) {
  const auto pattern = static_cast<std::uint32_t>(bits);
  return static_cast<double>(std::bit_cast<float>(pattern));
}

}  // namespace tvx
