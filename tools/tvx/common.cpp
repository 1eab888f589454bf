#include "common.h"

#include "registry.h"
#include "tvx/dispatcher.h"
#include "tvx/text.h"

namespace tvx::tool {

InputSource* ReadOnlyFiles::OpenInput(const std::string& path) {
  if (file_ != nullptr && path == path_) return file_.get();
  error_.clear();
  path_ = path;
  file_ = RegularFile::Open(path, &error_);
  return file_.get();
}

bool ReadOnlyFiles::WriteOutput(std::string_view, std::string_view) {
  return false;
}

Arguments ParseArguments(const std::vector<std::string>& args, bool acceptDecodeOptions) {
  Arguments parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      parsed.help = true;
    } else if (acceptDecodeOptions && arg == "--offsets") {
      parsed.offsets = true;
    } else if (acceptDecodeOptions && arg == "--picture") {
      if (i + 1 == args.size()) {
        parsed.error = "--picture needs a file name";
      } else {
        parsed.picture = args[++i];
      }
    } else if (parsed.error.empty()) {
      parsed.error = "unknown option " + arg;
    }
  }
  return parsed;
}

std::optional<double> ParsePosition(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    double value = 0;
    for (const char c : text.substr(2)) {
      int digit = 0;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        return std::nullopt;
      }
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

std::string KnownControls() {
  std::string text;
  for (const DeliverableInfo* info : AllDeliverables()) {
    text += "  " + std::string(info->name) + " (" + std::string(info->classWord) + ")\n";
  }
  return text;
}

std::unique_ptr<Decoder> DecoderFor(std::string_view control, std::ostream& err) {
  auto decoder = tvx::FindDecoder(control);
  if (!decoder) {
    err << "tvx: unknown control \"" << Printable(control) << "\"; the controls are:\n"
        << KnownControls();
  }
  return decoder;
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

std::string PositionText(double position) {
  return NumberText(position) + "/" + HexText(position);
}

}  // namespace tvx::tool
