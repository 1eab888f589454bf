#include "positions.h"

#include "text_output.h"
#include "tvx/text.h"

namespace tvx::tool {

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

// A 0-based file offset: decimal digits, or 0x and hexadecimal digits.
std::optional<double> ParseOffset(std::string_view text) {
  const bool hex = HasHexPrefix(text);
  if (hex) text.remove_prefix(2);
  if (text.empty() || text.size() > 15) return std::nullopt;  // far beyond any file
  double value = 0;
  for (const char c : text) {
    const int digit = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + digit;
  }
  return value;
}

}  // namespace

std::optional<double> ParsePosition(std::string_view text) {
  if (HasHexPrefix(text)) {
    double value = 0;
    for (const char c : text.substr(2)) {
      const int digit = HexDigit(c);
      if (digit < 0) return std::nullopt;
      value = value * 16 + digit;
    }
    if (!(value >= 1)) return std::nullopt;
    return value;
  }
  // The same conversion the plug-ins apply to a request's position.
  if (text.find_first_of(std::string_view("#@\xFF", 3)) != std::string_view::npos) {
    return std::nullopt;
  }
  std::string request = "%x#";
  request.append(text);
  request += "@N";
  request.push_back(kEndMark);
  const Request parsed = ParseRequest(request);
  if (!parsed.valid) return std::nullopt;
  return parsed.start;
}

std::optional<double> StartFrom(const Arguments& args, const std::string* position,
                                std::string_view command, Output& err) {
  const std::optional<std::string> offset = args.Value("file-offset");
  if (offset && position != nullptr) {
    UsageError(err, command, "give POSITION or --file-offset, not both");
    return std::nullopt;
  }
  if (offset) {
    // 0-based, as a hex dump shows it: the position is one more.
    const std::optional<double> value = ParseOffset(*offset);
    if (!value) {
      UsageError(
          err, command,
          "\"" + Printable(*offset) + "\" is not a file offset (0-based, decimal or 0x hex)");
      return std::nullopt;
    }
    return *value + 1;
  }
  if (position == nullptr) {
    UsageError(err, command, "the stream's POSITION (or --file-offset OFFSET) is missing");
    return std::nullopt;
  }
  const std::optional<double> start = ParsePosition(*position);
  if (!start) {
    UsageError(err, command,
               "\"" + Printable(*position) +
                   "\" is not a start position (1-based: decimal, or 0x hexadecimal; "
                   "--file-offset takes a 0-based offset)");
    return std::nullopt;
  }
  if (position->find('.') != std::string::npos && !HasHexPrefix(*position)) {
    err << "tvx " << command << ": warning: position " << Printable(*position) << " rounded to "
        << NumberText(*start) << ", as the plug-ins round it (half to even)\n";
  }
  return start;
}

std::string OffsetText(double position) {
  return "0x" + HexText(position - 1);
}

std::string PlaceText(double position) {
  return NumberText(position) + " (" + OffsetText(position) + ")";
}

Request MakeRequest(const std::string& path, double start, bool offsets) {
  Request request;
  request.valid = true;
  request.path = path;
  request.start = start;
  request.offsets = offsets;
  return request;
}

}  // namespace tvx::tool
