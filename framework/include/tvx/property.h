// What each property of a block is, as data: its definition (name, type, the constants it may
// take, where the stream keeps it), the bytes a value came from, and the typed value a block
// line states. A decoder declares a definition once per property and hands it to the one call
// that writes the property's block line (output.h), so the text and the typed value cannot
// disagree. The plug-ins attach no observer and pay only for carrying where each value was read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tvx {

// A run of bytes of the input: its 1-based file position and how many bytes it covers (past the
// end of the file too: a read there still covers them).
struct ByteRange {
  double position;
  std::uint64_t size;
};

// The bytes a value came from: none for a start value, else up to kMost ranges in the order they
// were added. Adjoining ranges merge; a range beyond the last place joins the last one.
class Source {
 public:
  static constexpr std::size_t kMost = 4;

  Source() = default;
  Source(double position, std::uint64_t size) : count_(1) { ranges_[0] = {position, size}; }
  // Only the ranges held are copied (values are read and copied often; most hold one).
  Source(const Source& other) : count_(other.count_) {
    for (std::size_t i = 0; i < count_; ++i)
      ranges_[i] = other.ranges_[i];
  }
  Source& operator=(const Source& other) {
    count_ = other.count_;
    for (std::size_t i = 0; i < count_; ++i)
      ranges_[i] = other.ranges_[i];
    return *this;
  }

  void Add(ByteRange range);
  Source& operator+=(const Source& other) {
    for (const ByteRange& r : other.Ranges())
      Add(r);
    return *this;
  }
  friend Source operator+(Source a, const Source& b) { return a += b; }

  std::span<const ByteRange> Ranges() const { return {ranges_, count_}; }
  bool empty() const { return count_ == 0; }

 private:
  ByteRange ranges_[kMost];  // only the first count_ are set
  std::size_t count_ = 0;
};

// A value with the bytes it was read from; it reads as the value itself.
template <typename T>
struct Read {
  T value{};
  Source from;

  Read() = default;
  Read(T v) : value(std::move(v)) {}  // NOLINT: a start value, from no bytes
  Read(T v, Source s) : value(std::move(v)), from(s) {}
  template <typename U>
  Read(const Read<U>& other)  // NOLINT: the same bytes, the value converted
      : value(static_cast<T>(other.value)), from(other.from) {}

  operator const T&() const { return value; }  // NOLINT: reads as its value
  // True when the stream held it.
  bool Held() const { return !from.empty(); }
};

// What kind of value a property holds.
enum class PropertyType : std::uint8_t {
  kInteger,     // a whole number
  kBoolean,     // True or False
  kEnumerated,  // a number, one of the control's constants
  kFlags,       // a number whose bits are the control's constants
  kFloat,       // a number with a fraction
  kText,        // the stream's bytes
  kColour,      // an RGB value or a system colour, as a signed number
  kPicture,     // a picture, written to the picture file
  kGroup,       // properties of their own between BeginProperty and EndProperty
};

// One of the constants a control defines for a property: an enumeration's value, or a flag's bit.
struct Constant {
  std::int64_t value;
  std::string_view name;
};

// Everything the system knows of one property, declared once.
struct PropertyDef {
  std::string_view name;  // as the block spells it
  PropertyType type = PropertyType::kInteger;
  std::span<const Constant> constants = {};  // the values or bits it may take, with their names
  std::string_view about = {};               // what it is, in a few words
  std::string_view stored = {};              // where and how the stream keeps it
};

// A property a control's block may hold, as its reference lists it: a group's member names its
// group (the same member, such as a font's Name, may belong to several).
struct PropertyEntry {
  const PropertyDef* def = nullptr;
  const PropertyDef* group = nullptr;
};

// A control's property list made of parts, in order: its own entries and those of the shared
// block writers it calls (extender.h, font.h).
std::vector<PropertyEntry> JoinedEntries(
    std::initializer_list<std::span<const PropertyEntry>> parts);

// The name of the constant that `value` equals, when the property defines one; none otherwise.
std::optional<std::string_view> ConstantName(const PropertyDef& def, std::int64_t value);

// A typed value: nothing (a group), a whole number, a boolean, a number with a fraction, or a
// text's bytes.
using TypedValue = std::variant<std::monostate, std::int64_t, bool, double, std::string_view>;

// What a block line is.
enum class BlockLineKind : std::uint8_t {
  kVersion,     // the first line, the library version
  kProperty,    // a property's line
  kGroupStart,  // "BeginProperty " and the group's name
  kGroupEnd,    // "EndProperty"
  kDerived,     // no line: a value users know in another shape, made from other properties
};

// A block line as it is written, with the property it states. The views hold only during the
// observer's call.
struct BlockLine {
  BlockLineKind kind = BlockLineKind::kProperty;
  const PropertyDef* def = nullptr;    // none for the version line and a group's end
  TypedValue value;                    // as the block states it
  std::optional<std::int64_t> stored;  // the number the stream holds, where it differs
  std::string_view text;               // the value's text in the line, after "= "
  std::string_view line;               // the whole line without its CR LF; empty for kDerived
  std::string_view alternate;          // the value in another shape users know, or empty
  Source from;                         // the bytes it came from; none for a start value
};

// Told of every block line as it is written.
class BlockObserver {
 public:
  virtual ~BlockObserver() = default;
  virtual void OnBlockLine(const BlockLine& line) = 0;
};

}  // namespace tvx
