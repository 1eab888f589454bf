#include "json_document.h"

#include <array>

#include "json.h"
#include "names.h"
#include "words.h"

namespace tvx::render {

namespace {

// `dumped` with every line after the first indented by `levels` more.
std::string Reindent(const std::string& dumped, std::size_t levels) {
  std::string text;
  for (const char c : dumped) {
    text.push_back(c);
    if (c == '\n') text.append(levels, ' ');
  }
  return text;
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  // The bytes that stand for themselves in a JSON string: printable ASCII but " and \.
  static constexpr auto kPlain = [] {
    std::array<bool, 256> plain{};
    for (int b = 0x20; b < 0x7F; ++b)
      plain[b] = b != '"' && b != '\\';
    return plain;
  }();
  std::size_t at = 0;
  while (at < bytes.size()) {
    // A run of characters that stand as they are, appended at once.
    std::size_t end = at;
    while (end < bytes.size() && kPlain[static_cast<unsigned char>(bytes[end])])
      ++end;
    out.append(bytes.data() + at, end - at);
    if (end == bytes.size()) return;
    const auto b = static_cast<unsigned char>(bytes[end]);
    switch (b) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += "\\u00";
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 15]);
    }
    at = end + 1;
  }
}

Json Bytes(std::string_view bytes) {
  return Latin1ToUtf8(bytes);
}

void AddFile(Json& object, std::string_view path) {
  object["file"] = Utf8Path(path);
  if (!IsValidUtf8(path)) object["file_bytes"] = Bytes(path);  // the bytes themselves
}

void AddPlace(Json& object, core::Position position) {
  object["position"] = position;
  object["offset"] = position - 1;
}

Json Head(std::string_view kind) {
  return Json{{"schema", kJsonSchema}, {"kind", kind}};
}

Json StopObject(const core::StopInfo& stop) {
  Json json = {{"code", core::StopCode(stop.ended)}, {"text", StopText(stop)}};
  if (stop.position) {
    AddPlace(json, *stop.position);
  } else {
    json["position"] = nullptr;
    json["offset"] = nullptr;
  }
  json["byte"] = stop.byte >= 0 ? Json(stop.byte) : Json(nullptr);
  return json;
}

Json TextSlots::Text(const core::TextRef& text) {
  if (!text.HoldsLongText()) return Bytes(text.raw());
  const std::string mark = marks_.Add({});
  Slot& slot = slots_.emplace_back(Slot{{}, std::string(text.raw()), text});
  AppendEscaped(slot.escaped, mark);
  return Bytes(mark);
}

void TextSlots::Put(JsonText& json, const core::TextRef& text) {
  if (!text.HoldsLongText()) {
    json.Stream(text.raw());
    return;
  }
  const std::string mark = marks_.Add({});
  Slot& slot = slots_.emplace_back(Slot{{}, std::string(text.raw()), text});
  AppendEscaped(slot.escaped, mark);
  json.Stream(mark);
}

void TextSlots::Write(Writer& out, std::string_view dumped) const {
  std::string piece;
  while (!dumped.empty()) {
    std::size_t first = std::string_view::npos;
    const Slot* which = nullptr;
    for (const Slot& slot : slots_) {
      const std::size_t at = dumped.find(slot.escaped);
      if (at < first) {
        first = at;
        which = &slot;
      }
    }
    out << dumped.substr(0, first);
    if (which == nullptr) return;
    which->text.Of(which->held).Write([&](std::string_view bytes) {
      piece.clear();
      AppendEscaped(piece, bytes);
      out << piece;
    });
    dumped.remove_prefix(first + which->escaped.size());
  }
}

Document::Document(Writer& out, const Json& head, bool oneLine) : out_(out), oneLine_(oneLine) {
  std::string text = head.dump(oneLine ? -1 : 1, ' ', true);
  text.resize(text.size() - (oneLine ? 1 : 2));  // "}" or "\n}"
  out_ << text;
}

void Document::Put(std::string_view dumped, const TextSlots* slots) {
  if (slots == nullptr || slots->empty()) {
    out_ << dumped;
  } else {
    slots->Write(out_, dumped);
  }
}

void Document::Member(std::string_view key, const Json& value, const TextSlots* slots) {
  Key(key);
  Put(Dump(value, 1), slots);
}

void Document::MemberText(std::string_view key, std::string_view text, const TextSlots* slots) {
  Key(key);
  Put(text, slots);
}

void Document::BeginArray(std::string_view key) {
  Key(key);
  out_ << "[";
  elements_ = 0;
}

void Document::Element(const Json& value, const TextSlots* slots) {
  NextElement();
  Put(Dump(value, 2), slots);
}

void Document::BeginString() {
  NextElement();
  out_ << "\"";
}

void Document::StringBytes(std::string_view bytes) {
  piece_.clear();
  AppendEscaped(piece_, bytes);
  out_ << piece_;
}

void Document::EndArray() {
  if (elements_ > 0 && !oneLine_) out_ << "\n ";
  out_ << "]";
}

void Document::Key(std::string_view key) {
  out_ << (oneLine_ ? "," : ",\n ") << JsonString(key) << (oneLine_ ? ":" : ": ");
}

void Document::NextElement() {
  if (oneLine_) {
    out_ << (elements_ > 0 ? "," : "");
  } else {
    out_ << (elements_ > 0 ? ",\n  " : "\n  ");
  }
  ++elements_;
}

std::string Document::Dump(const Json& value, std::size_t level) const {
  return oneLine_ ? value.dump(-1, ' ', true) : Reindent(value.dump(1, ' ', true), level);
}

LinesArray::LinesArray(Document& doc)
    : doc_(doc),
      lines_({[this] { doc_.BeginString(); },
              [this](std::string_view bytes) { doc_.StringBytes(bytes); },
              [this] { doc_.EndString(); }}) {}

}  // namespace tvx::render
