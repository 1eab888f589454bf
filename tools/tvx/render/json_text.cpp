#include "json_text.h"

#include <charconv>
#include <cstring>

#include <nlohmann/json.hpp>

#include "json_document.h"

namespace tvx::render {

void JsonText::Indent(std::size_t depth) {
  out_.push_back('\n');
  out_.append(level_ + depth, ' ');
}

void JsonText::Value() {
  if (frames_.empty()) return;
  Frame& f = frames_.back();
  if (f.object) {
    f.keyed = false;  // the key wrote what comes before its value
    return;
  }
  if (f.count++ > 0) out_.push_back(',');
  if (indented_) Indent(frames_.size());
}

void JsonText::Key(std::string_view key) {
  Frame& f = frames_.back();
  // The separator, the indent, the key and its colon in one piece (keys are short words).
  char piece[128];
  std::size_t n = 0;
  if (f.count++ > 0) piece[n++] = ',';
  const std::size_t indent = indented_ ? level_ + frames_.size() : 0;
  if (indented_ && indent + key.size() + 6 <= sizeof piece) {
    piece[n++] = '\n';
    std::memset(piece + n, ' ', indent);
    n += indent;
  } else if (indented_) {
    out_.append(piece, n);
    n = 0;
    Indent(frames_.size());
  }
  if (n + key.size() + 4 > sizeof piece) {
    out_.append(piece, n);
    out_.push_back('"');
    out_.append(key);  // the writer's own words: nothing to escape
    out_.append(indented_ ? std::string_view("\": ") : std::string_view("\":"));
  } else {
    piece[n++] = '"';
    std::memcpy(piece + n, key.data(), key.size());
    n += key.size();
    piece[n++] = '"';
    piece[n++] = ':';
    if (indented_) piece[n++] = ' ';
    out_.append(piece, n);
  }
  f.keyed = true;
}

void JsonText::Open(char bracket) {
  Value();
  out_.push_back(bracket);
  frames_.push_back({bracket == '{', 0, false});
}

void JsonText::Close(char bracket) {
  const bool empty = frames_.back().count == 0;
  frames_.pop_back();
  if (!empty && indented_) Indent(frames_.size());
  out_.push_back(bracket);
}

void JsonText::Int(std::int64_t value) {
  Value();
  char digits[24];
  out_.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

void JsonText::UInt(std::uint64_t value) {
  Value();
  char digits[24];
  out_.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

void JsonText::Bool(bool value) {
  Value();
  out_.append(value ? "true" : "false");
}

void JsonText::Null() {
  Value();
  out_.append("null");
}

void JsonText::Double(double value) {
  Value();
  out_.append(nlohmann::ordered_json(value).dump());
}

void JsonText::Stream(std::string_view bytes) {
  Value();
  out_.push_back('"');
  AppendEscaped(out_, bytes);
  out_.push_back('"');
}

void JsonText::Raw(std::string_view json) {
  Value();
  out_.append(json);
}

}  // namespace tvx::render
