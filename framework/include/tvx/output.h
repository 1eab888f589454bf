// The two text outputs of a decode run: the listing and the property block. Both are built in
// memory, line by line, every line ended with CR LF, and written to their files by the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "tvx/decode_events.h"
#include "tvx/property.h"

namespace tvx {

inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr std::string_view kListingFileName = "TEVOLIBFILE.TMP";
inline constexpr std::string_view kBlockFileName = "TEVOLIBFILE2.TMP";
inline constexpr std::string_view kPictureFileName = "TEVOGRAPHICFILE1.TMP";
inline constexpr std::string_view kLibraryVersionLine = "LibraryVersion3.0";
// Room for a typical listing or block, so that building one rarely reallocates.
inline constexpr std::size_t kInitialCapacity = 2048;

// A line is given as pieces (texts, numbers as ShortText), appended in place one after the other.
class Listing {
 public:
  Listing() { text_.reserve(kInitialCapacity); }
  template <typename... Pieces>
  void Line(const Pieces&... pieces) {
    const std::size_t start = text_.size();
    (text_.append(std::string_view(pieces)), ...);
    EndLine(start);
  }
  const std::string& Text() const { return text_; }
  std::string TakeText() { return std::move(text_); }
  // Told of every line. Unless `keep`, a line is forgotten once told: a listing shown as it is
  // made holds no more than its last line.
  void SetObserver(DecodeObserver* observer, bool keep = true) {
    observer_ = observer;
    keep_ = keep;
  }

 private:
  void EndLine(std::size_t start);

  std::string text_;
  DecodeObserver* observer_ = nullptr;
  bool keep_ = true;
};

// Writes form-source property lines: the label padded with blanks to the deliverable's width,
// then "= ", then the value. Every line is written by a call that names the property's
// definition and its typed value, and an observer, where one is attached, is told of each line
// with them (property.h).
class BlockWriter {
 public:
  explicit BlockWriter(std::size_t labelWidth) : width_(labelWidth) {
    text_.reserve(kInitialCapacity);
  }
  void SetObserver(BlockObserver* observer) { observer_ = observer; }

  void VersionLine();

  // A number as the block states it: an integer, an enumeration, flags, a colour, a boolean held
  // as a number (-1 or 0), or a number with a fraction, by the definition's type.
  template <typename T>
  void Number(const PropertyDef& def, const Read<T>& value) {
    NumberLine(def, static_cast<double>(value.value), value.from, std::nullopt);
  }
  // Left out when the value is the absent marker -1.
  template <typename T>
  void NumberIfSet(const PropertyDef& def, const Read<T>& value) {
    if (static_cast<double>(value.value) != -1) Number(def, value);
  }
  // A number kept as its text: an empty value until the stream held it (a fresh process's).
  template <typename T>
  void NumberOrEmpty(const PropertyDef& def, const Read<T>& value) {
    if (value.Held()) {
      Number(def, value);
    } else {
      Shown(def, "", {}, {});
    }
  }
  // A number the block states as `value` where the stream holds `stored`.
  template <typename T>
  void Number(const PropertyDef& def, double value, const Read<T>& stored) {
    const auto held = static_cast<double>(stored.value);
    NumberLine(def, value, stored.from,
               held != value ? std::optional<std::int64_t>(static_cast<std::int64_t>(held))
                             : std::nullopt);
  }

  // A text between double quotes, every inner quote doubled.
  void Quoted(const PropertyDef& def, const Read<std::string>& text);
  // Left out when the text is empty.
  void QuotedIfSet(const PropertyDef& def, const Read<std::string>& text);
  // A text as it stands.
  void Text(const PropertyDef& def, const Read<std::string>& text);

  // A value prepared in its block form (`shown`, such as "-1 'True"), with the typed value it
  // stands for; `stored` where the stream holds another number, `alternate` where users know
  // the value in another shape.
  void Shown(const PropertyDef& def, std::string_view shown, const TypedValue& value,
             const Source& from, std::optional<std::int64_t> stored = {},
             std::string_view alternate = {});

  // A boolean written as one of two texts; an empty value when the stream never held it (a
  // fresh process's).
  void Flag(const PropertyDef& def, const Read<bool>& flag, std::string_view trueText,
            std::string_view falseText);

  // "BeginProperty " + the group's name; its members' labels are indented by `indent` blanks
  // and padded to `width`, until EndGroup writes "EndProperty".
  void BeginGroup(const PropertyDef& def, std::size_t indent, std::size_t width,
                  const Source& from = {});
  void EndGroup();

  // A value no line shows, made from other properties (a setting users know in one piece).
  void Derived(const PropertyDef& def, const TypedValue& value, std::string_view text,
               const Source& from);

  const std::string& Text() const { return text_; }
  std::string TakeText() { return std::move(text_); }

 private:
  void AppendLabel(std::string_view name);
  void NumberLine(const PropertyDef& def, double value, const Source& from,
                  std::optional<std::int64_t> stored);
  // Tells the observer of the line begun at `start`, whose value begins at `valueAt`.
  void Tell(BlockLineKind kind, const PropertyDef* def, std::size_t start, std::size_t valueAt,
            const TypedValue& value, const Source& from, std::optional<std::int64_t> stored = {},
            std::string_view alternate = {});

  std::size_t width_;
  std::size_t indent_ = 0;  // inside a group: its members' indent and width
  std::size_t groupWidth_ = 0;
  bool inGroup_ = false;
  std::string text_;
  BlockObserver* observer_ = nullptr;
};

}  // namespace tvx
