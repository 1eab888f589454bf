#include "json_output.h"

#include "inputs.h"
#include "text_output.h"

namespace tvx::tool {

namespace {

// Bytes as UTF-8 text, each byte the character of the same number.
std::string Latin1ToUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      text.push_back(c);
    } else {
      text.push_back(static_cast<char>(0xC0 | (b >> 6)));
      text.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return text;
}

}  // namespace

Json JsonDocument(std::string_view kind) {
  return Json{{"schema", kJsonSchema}, {"kind", kind}};
}

Json JsonBytes(std::string_view bytes) {
  return Latin1ToUtf8(bytes);
}

std::string Utf8Path(std::string_view path) {
  if (IsValidUtf8(path)) return std::string(path);
  // The library's own replacement of invalid bytes, taken back out of its JSON text.
  const std::string replaced =
      Json(std::string(path)).dump(-1, ' ', false, Json::error_handler_t::replace);
  return Json::parse(replaced).get<std::string>();
}

void AddJsonFile(Json& object, std::string_view path) {
  object["file"] = Utf8Path(path);
  if (!IsValidUtf8(path)) object["file_bytes"] = JsonBytes(path);  // the bytes themselves
}

Json JsonNumber(double value) {
  // Exactly representable whole numbers only: below 2^53.
  if (value >= 0 && value < 9007199254740992.0 &&
      value == static_cast<double>(static_cast<std::uint64_t>(value))) {
    return static_cast<std::uint64_t>(value);
  }
  return value;
}

void AddJsonPlace(Json& object, double position) {
  object["position"] = JsonNumber(position);
  object["offset"] = JsonNumber(position - 1);
}

Json JsonLines(std::string_view text) {
  Json lines = Json::array();
  for (const std::string_view line : CrLfLines(text))
    lines.push_back(JsonBytes(line));
  return lines;
}

void AddJsonDecode(Json& object, const DecodeOutput& decoded) {
  Json stop = {{"code", StopCode(decoded.ended)}, {"text", StopText(decoded)}};
  const bool placed = decoded.ended == DecodeEnd::kEndCode ||
                      decoded.ended == DecodeEnd::kEndOfInput ||
                      decoded.ended == DecodeEnd::kStopLine;
  if (placed) {
    AddJsonPlace(stop, decoded.stop.position);
  } else {
    stop["position"] = nullptr;
    stop["offset"] = nullptr;
  }
  stop["byte"] = decoded.stop.code >= 0 ? Json(decoded.stop.code) : Json(nullptr);
  object["stop"] = std::move(stop);
  object["picture"] = decoded.picture ? Json{{"size", decoded.picture->size()}} : Json(nullptr);
  object["listing"] = JsonLines(decoded.listing);
  object["block"] = JsonLines(decoded.block);
}

std::string JsonText(const Json& document, bool oneLine) {
  return document.dump(oneLine ? -1 : 1, ' ', true) + "\n";
}

void WriteJson(Output& out, const Json& document, bool oneLine) {
  out << JsonText(document, oneLine);
}

}  // namespace tvx::tool
