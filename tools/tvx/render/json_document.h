// How tvx's JSON documents are written: member by member in the library's layout, long arrays
// as they are made, and texts left in the file read back into their strings as they are written.
// Shared by the JSON writers (json.cpp, properties_json.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "decode.h"
#include "json_text.h"
#include "places.h"
#include "text.h"
#include "tvx/long_texts.h"
#include "writer.h"

namespace tvx::render {

using Json = nlohmann::ordered_json;

// A stream text's bytes inside a JSON string, escaped as the library escapes them.
void AppendEscaped(std::string& out, std::string_view bytes);
// A short stream text: each byte the character of the same number.
Json Bytes(std::string_view bytes);
void AddFile(Json& object, std::string_view path);
void AddPlace(Json& object, core::Position position);
// {"schema": ..., "kind": kind}
Json Head(std::string_view kind);
Json StopObject(const core::StopInfo& stop);

// Stream texts that may be long, put into a JSON value as placeholders (which no stream text can
// forge) and read from the file in pieces as the value is written.
class TextSlots {
 public:
  // The text's JSON string, or a placeholder for it when it holds a long text.
  Json Text(const core::TextRef& text);
  // The same, written as JSON text.
  void Put(JsonText& json, const core::TextRef& text);
  bool empty() const { return slots_.empty(); }
  // Writes `dumped` (a value holding this object's placeholders) with each one replaced by its
  // text, escaped.
  void Write(Writer& out, std::string_view dumped) const;

 private:
  struct Slot {
    std::string escaped;  // the placeholder as the dumped value holds it
    std::string held;     // the text as its decode holds it (a view of it may not last)
    core::TextRef text;   // how it expands
  };
  LongTexts marks_;  // each placeholder is a fresh stand-in of its own
  std::vector<Slot> slots_;
};

// Bytes gathered before they are written, in pieces of up to a limit: a document of many small
// pieces goes out in few writes.
class BufferedWriter final : public Writer {
 public:
  static constexpr std::size_t kLimit = std::size_t{64} << 10;
  explicit BufferedWriter(Writer& out) : out_(out) {}
  ~BufferedWriter() override { Flush(); }
  void Write(std::string_view bytes) override {
    buffer_.append(bytes);
    if (buffer_.size() >= kLimit) Flush();
  }
  bool Terminal() const override { return out_.Terminal(); }
  void Flush() {
    if (!buffer_.empty()) out_ << buffer_;
    buffer_.clear();
  }

 private:
  Writer& out_;
  std::string buffer_;
};

// A document written member by member, in the library's layout (indented by one, or on one
// line), so that its long arrays go out as they are made.
class Document {
 public:
  Document(Writer& out, const Json& head, bool oneLine);
  // A member whose value may hold the placeholders of `slots`.
  void Member(std::string_view key, const Json& value, const TextSlots* slots = nullptr);
  // A member whose value is JSON text already in the document's layout (json_text.h, written at
  // level 1 when the document is indented).
  void MemberText(std::string_view key, std::string_view text, const TextSlots* slots = nullptr);
  bool OneLine() const { return oneLine_; }
  void BeginArray(std::string_view key);
  // An element, which may hold the placeholders of `slots`.
  void Element(const Json& value, const TextSlots* slots = nullptr);
  // An element that is a stream text, given in pieces.
  void BeginString();
  void StringBytes(std::string_view bytes);
  void EndString() { out_ << "\""; }
  void EndArray();
  void End() {
    out_ << (oneLine_ ? "}\n" : "\n}\n");
    out_.Flush();
  }

 private:
  void Key(std::string_view key);
  void NextElement();
  std::string Dump(const Json& value, std::size_t level) const;
  void Put(std::string_view dumped, const TextSlots* slots);

  BufferedWriter out_;
  bool oneLine_;
  std::size_t elements_ = 0;
  std::string piece_;
};

// Writes a CR LF text given in pieces as an array's string elements, one per line.
class LinesArray {
 public:
  explicit LinesArray(Document& doc);
  void Feed(std::string_view text) { lines_.Feed(text); }
  void Finish() { lines_.Finish(); }

 private:
  Document& doc_;
  LineSplitter lines_;
};

}  // namespace tvx::render
