#include "tvx/protocol.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "tvx/text.h"

namespace tvx {

namespace {

// Digits with an optional "." fraction; at least one digit.
bool IsDecimal(std::string_view text) {
  bool digit = false;
  bool point = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

}  // namespace

Request ParseRequest(std::string_view text) {
  Request request;
  if (text.size() < 2 || text.size() > kMaxMessageLength) return request;
  if (text.front() != '%' || text.back() != kEndMark) return request;
  const std::size_t h = text.find('#');
  const std::size_t a = text.find('@');
  if (h == std::string_view::npos || a == std::string_view::npos || a < h) return request;
  const std::string_view offsetText = TrimBlanks(text.substr(h + 1, a - h - 1));
  if (!IsDecimal(offsetText)) return request;
  double value = 0;
  const auto [end, error] =
      std::from_chars(offsetText.data(), offsetText.data() + offsetText.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Too large for a double: far beyond the end of any file. Too small (a fraction of a
    // fraction): below 1, so no position.
    const std::string_view whole = offsetText.substr(0, offsetText.find('.'));
    if (whole.find_first_not_of('0') == std::string_view::npos) return request;
    value = std::numeric_limits<double>::max();
  } else if (error != std::errc() || end != offsetText.data() + offsetText.size()) {
    return request;
  }
  const double rounded = std::nearbyint(value);  // half to even
  if (!(rounded >= 1)) return request;
  request.valid = true;
  request.path = std::string(text.substr(1, h - 1));
  request.start = rounded;
  request.offsets = text[a + 1] == 'Y';  // the end mark itself when nothing follows "@"
  return request;
}

}  // namespace tvx
