// JSON text written as it is made, in the layout the JSON library gives (on one line, or indented
// by one from a level), for the parts of a document that are many small values (a record's
// properties): as fast as appending to a string, where building the library's values first is
// not.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tvx::render {

class JsonText {
 public:
  // `indented`: the library's indent of one, the text's first line at `level`; else one line.
  JsonText(std::string& out, bool indented, std::size_t level = 0)
      : out_(out), indented_(indented), level_(level) {
    out_.reserve(out_.size() + 16384);
  }

  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  // A member's key, one of the writer's own words (letters, digits, _ and .: nothing escaped);
  // its value follows.
  void Key(std::string_view key);

  void Int(std::int64_t value);
  void UInt(std::uint64_t value);
  void Bool(bool value);
  void Null();
  void Double(double value);  // as the library writes it (null for NaN and the infinities)
  // A stream text: each byte the character of the same number.
  void Stream(std::string_view bytes);
  // A value given as JSON text (a placeholder string, say).
  void Raw(std::string_view json);

 private:
  void Value();  // what comes before a value: a comma and the next line's indent
  void Open(char bracket);
  void Close(char bracket);
  void Indent(std::size_t depth);

  struct Frame {
    bool object = false;
    std::size_t count = 0;
    bool keyed = false;  // a key was written: its value comes next
  };
  std::string& out_;
  bool indented_;
  std::size_t level_;
  std::vector<Frame> frames_;
};

}  // namespace tvx::render
