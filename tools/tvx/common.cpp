#include "common.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "registry.h"
#include "tvx/protocol.h"
#include "tvx/text.h"

namespace tvx::tool {

namespace {

// Standard input, read whole: it cannot be read at positions.
class StandardInput final : public InputSource {
 public:
  explicit StandardInput(const std::string& bytes) : bytes_(bytes) {}
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) override {
    return bytes_.ReadAt(offset, into, size);
  }
  std::uint64_t Size() override { return bytes_.Size(); }

 private:
  BytesInput bytes_;
};

}  // namespace

InputSource* ReadOnlyFiles::OpenInput(const std::string& path) {
  if (input_ != nullptr && path == path_) return input_.get();
  error_.clear();
  path_ = path;
  if (path == "-") {
    standardInput_.clear();
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;)
      standardInput_.append(buffer, n);
    input_ = std::make_unique<StandardInput>(standardInput_);
    return input_.get();
  }
  input_ = RegularFile::Open(path, &error_);
  return input_.get();
}

bool ReadOnlyFiles::WriteOutput(std::string_view, std::string_view) {
  return false;
}

std::string KnownControls() {
  std::string text;
  for (const DeliverableInfo* info : AllDeliverables()) {
    text += "  " + std::string(info->name) + " (" + std::string(info->classWord) + ")\n";
  }
  return text;
}

std::unique_ptr<Decoder> DecoderFor(std::string_view control, std::string_view command,
                                    Output& err) {
  auto decoder = FindDecoder(control);
  if (!decoder) {
    err << "tvx " << command << ": unknown control \"" << Printable(control)
        << "\"; the controls are:\n"
        << KnownControls();
  }
  return decoder;
}

std::optional<double> ParsePosition(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    double value = 0;
    for (const char c : text.substr(2)) {
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
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

namespace {

// A 0-based file offset: decimal digits, or 0x and hexadecimal digits.
std::optional<double> ParseOffset(std::string_view text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (hex) text.remove_prefix(2);
  if (text.empty() || text.size() > 15) return std::nullopt;  // far beyond any file
  double value = 0;
  for (const char c : text) {
    const int digit = c >= '0' && c <= '9'          ? c - '0'
                      : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                    : -1;
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + digit;
  }
  return value;
}

}  // namespace

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
  if (position->find('.') != std::string::npos &&
      std::string_view(*position).substr(0, 2) != "0x") {
    err << "tvx " << command << ": warning: position " << Printable(*position) << " rounded to "
        << NumberText(*start) << ", as the plug-ins round it (half to even)\n";
  }
  return start;
}

std::string_view EndedName(DecodeEnd ended) {
  switch (ended) {
    case DecodeEnd::kEndCode:
      return "end code";
    case DecodeEnd::kEndOfInput:
      return "end of file";
    case DecodeEnd::kStopLine:
      return "stop line";
    case DecodeEnd::kNoInput:
      return "input not readable";
    case DecodeEnd::kInvalidRequest:
      return "invalid request";
  }
  return "";
}

std::string EndedEarlyReason(DecodeEnd ended, const std::string& listing) {
  std::vector<std::string_view> lines = CrLfLines(listing);
  const std::string last = lines.empty() ? std::string() : Printable(lines.back());
  switch (ended) {
    case DecodeEnd::kEndCode:
      return "";
    case DecodeEnd::kEndOfInput:
      return "the file ended before the stream's end code (\"" + last + "\")";
    case DecodeEnd::kStopLine:
      return "a code the control does not know in section B (\"" + last + "\")";
    case DecodeEnd::kNoInput:
      return "the input cannot be read (\"" + last + "\")";
    case DecodeEnd::kInvalidRequest:
      return "the request is not valid";
  }
  return "";
}

std::string Printable(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '\\') {
      text += "\\\\";
    } else if (b >= 0x20 && b < 0x7F) {
      text.push_back(c);
    } else {
      text += "\\x";
      text.push_back(kHex[b >> 4]);
      text.push_back(kHex[b & 15]);
    }
  }
  return text;
}

std::string PrintablePath(std::string_view path) {
  std::string text;
  for (std::size_t from = 0;;) {
    const std::size_t slash = path.find('\\', from);
    text += Printable(path.substr(from, slash - from));
    if (slash == std::string_view::npos) return text;
    text += '\\';
    from = slash + 1;
  }
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

std::string PrintableLines(std::string_view text) {
  std::string out;
  for (const std::string_view line : CrLfLines(text)) {
    out += Printable(line);
    out += '\n';
  }
  return out;
}

void ShowLines(Output& out, std::string_view text) {
  if (out.terminal()) {
    out << PrintableLines(text);
  } else {
    out << text;
  }
}

std::string JsonString(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string json = "\"";
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '"' || b == '\\') {
      json += '\\';
      json += c;
    } else if (b == '\n') {
      json += "\\n";
    } else if (b == '\r') {
      json += "\\r";
    } else if (b == '\t') {
      json += "\\t";
    } else if (b < 0x20 || (b >= 0x7F && b <= 0x9F)) {  // C0, DEL and C1: never raw
      json += "\\u00";
      json += kHex[b >> 4];
      json += kHex[b & 15];
    } else if (b >= 0x80) {
      json += static_cast<char>(0xC0 | (b >> 6));
      json += static_cast<char>(0x80 | (b & 0x3F));
    } else {
      json += c;
    }
  }
  return json + "\"";
}

std::string JsonLines(std::string_view text) {
  std::string json = "[";
  bool first = true;
  for (const std::string_view line : CrLfLines(text)) {
    if (!first) json += ", ";
    json += JsonString(line);
    first = false;
  }
  return json + "]";
}

std::string JsonDecodeMembers(const DecodeOutput& decoded, std::string_view indent) {
  const std::string next = ",\n" + std::string(indent);
  return next + "\"ended\": " + JsonString(EndedName(decoded.ended)) + ", \"picture\": " +
         (decoded.picture ? NumberText(static_cast<double>(decoded.picture->size())) : "null") +
         next + "\"listing\": " + JsonLines(decoded.listing) + next +
         "\"block\": " + JsonLines(decoded.block);
}

bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (!written) *error = std::strerror(errno);
  if (std::fclose(file) != 0 && written) {
    *error = std::strerror(errno);
    return false;
  }
  return written;
}

std::string PositionText(double position) {
  return NumberText(position) + "/" + HexText(position);
}

}  // namespace tvx::tool
