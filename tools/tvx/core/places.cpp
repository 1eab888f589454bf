#include "places.h"

#include <charconv>
#include <cmath>

#include "tvx/text.h"

namespace tvx::core {

namespace {

int HexDigit(char c) {
  return c >= '0' && c <= '9'   ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                : -1;
}

bool HasHexPrefix(std::string_view text) {
  return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// Digits in base 10 or 16, exactly; kBeyondAnyFile once the value passes kMaxPosition.
ParsedPlace Digits(std::string_view text, unsigned base) {
  ParsedPlace parsed;
  if (text.empty()) parsed.error = PlaceError::kNotANumber;
  for (const char c : text) {
    const int digit = base == 16 ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0) return {0, PlaceError::kNotANumber, false};
    if (parsed.error == PlaceError::kNone) {
      parsed.position = parsed.position * base + static_cast<unsigned>(digit);
      if (parsed.position > kMaxPosition) parsed.error = PlaceError::kBeyondAnyFile;
    }
  }
  return parsed;
}

}  // namespace

ParsedPlace ParsePosition(std::string_view text) {
  ParsedPlace parsed;
  if (HasHexPrefix(text)) {
    parsed = Digits(text.substr(2), 16);
  } else {
    text = TrimBlanks(text);
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos) {
      parsed = Digits(text, 10);
    } else {
      // A fraction: rounded as the plug-ins round a request's position.
      const std::string_view whole = text.substr(0, point);
      const std::string_view fraction = text.substr(point + 1);
      if ((whole.empty() && fraction.empty()) ||
          whole.find_first_not_of("0123456789") != std::string_view::npos ||
          fraction.find_first_not_of("0123456789") != std::string_view::npos) {
        return {0, PlaceError::kNotANumber, false};
      }
      parsed = Digits(whole.empty() ? "0" : whole, 10);
      if (!parsed) return parsed;
      double value = 0;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (error != std::errc() && error != std::errc::result_out_of_range) {
        return {0, PlaceError::kNotANumber, false};
      }
      const double rounded = std::nearbyint(value);  // half to even
      parsed.rounded = true;
      if (rounded > static_cast<double>(kMaxPosition)) {
        parsed.error = PlaceError::kBeyondAnyFile;
      } else {
        parsed.position = rounded >= 0 ? static_cast<Position>(rounded) : 0;
      }
    }
  }
  if (parsed && parsed.position < 1) parsed.error = PlaceError::kBelowOne;
  return parsed;
}

ParsedPlace ParseOffset(std::string_view text) {
  ParsedPlace parsed = HasHexPrefix(text) ? Digits(text.substr(2), 16) : Digits(text, 10);
  if (!parsed) return parsed;
  if (parsed.position >= kMaxPosition) return {0, PlaceError::kBeyondAnyFile, false};
  ++parsed.position;
  return parsed;
}

std::optional<std::uint64_t> ParseCount(std::string_view text, std::uint64_t most) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value < 1 || value > most) return std::nullopt;
  return value;
}

Position PositionOf(double framework) {
  if (!(framework >= 0)) return 0;
  if (framework >= static_cast<double>(kMaxPosition)) return kMaxPosition;
  return static_cast<Position>(framework);
}

Request MakeRequest(const std::string& path, Position start, bool offsets) {
  Request request;
  request.valid = true;
  request.path = path;
  request.start = static_cast<double>(start);
  request.offsets = offsets;
  return request;
}

}  // namespace tvx::core
