// One control's stream decoded into a value that every output takes as it is: the listing and
// the block as the plug-in writes them, how the decode ended, the picture, and each property of
// the block as typed data (its definition, its value, the number the stream holds, the text its
// line shows and the bytes it came from), made by the same call that writes the line.
//
// The value holds a few hundred KiB whatever the file: texts and pictures longer than a few KiB
// stay in the file (tvx/long_texts.h) and a listing longer than a MiB is kept in a temporary
// file; Text() gives their bytes back while the input is open.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "decode.h"
#include "files.h"
#include "places.h"
#include "tvx/decoder.h"
#include "tvx/long_texts.h"
#include "tvx/property.h"

namespace tvx::core {

// Bytes kept in memory up to a limit, beyond it in a temporary file (or in memory still, where
// none can be made).
class Spool {
 public:
  static constexpr std::size_t kMemoryLimit = std::size_t{1} << 20;
  explicit Spool(std::size_t memoryLimit = kMemoryLimit) : limit_(memoryLimit) {}
  Spool(Spool&&) noexcept;
  Spool& operator=(Spool&&) noexcept;
  ~Spool();

  void Append(std::string_view bytes) {
    if (file_ == nullptr && memory_.size() + bytes.size() <= limit_) {
      size_ += bytes.size();
      memory_.append(bytes);
      return;
    }
    Spill(bytes);
  }
  // Every byte in order, a piece at a time; each piece but the last ends with a line's LF.
  void Write(const std::function<void(std::string_view)>& write) const;
  std::uint64_t size() const { return size_; }
  // True while every byte is in memory (Write hands them on in one piece).
  bool InMemory() const { return file_ == nullptr; }

 private:
  void Spill(std::string_view bytes);  // past the limit: into the temporary file

  std::size_t limit_;
  std::string memory_;
  std::unique_ptr<TemporaryFile> file_;  // once the memory is full
  std::uint64_t size_ = 0;
};

// A run of file bytes: its 1-based position and size.
struct ByteSpan {
  Position position = 0;
  std::uint64_t size = 0;
};

// The runs of bytes a value came from, held in place (a value has at most Source::kMost).
class ByteSpans {
 public:
  void push_back(ByteSpan span) {
    if (count_ < spans_.size()) spans_[count_++] = span;
  }
  const ByteSpan* begin() const { return spans_.data(); }
  const ByteSpan* end() const { return spans_.data() + count_; }
  bool empty() const { return count_ == 0; }
  std::size_t size() const { return count_; }
  const ByteSpan& front() const { return spans_[0]; }

 private:
  std::array<ByteSpan, Source::kMost> spans_{};
  std::size_t count_ = 0;
};

// A typed value: none, a whole number, a boolean, a number with a fraction, or a text's bytes
// (as the decode holds them: a long text is its stand-in, DecodedRecord::Text expands it).
using Value = std::variant<std::monostate, std::int64_t, bool, double, std::string>;

struct Property {
  const PropertyDef* def = nullptr;
  bool derived = false;  // no block line: made from other properties
  Value value;
  std::optional<std::int64_t> stored;  // the number the stream holds, where it differs
  std::string text;                    // the value as its line shows it (as held)
  std::string alternate;               // the value in another shape users know, or empty
  ByteSpans bytes;                     // where it came from; none for a start value
  std::optional<std::size_t> line;     // its block line, from 0
  std::optional<std::size_t> group;    // the index of the group it belongs to
  std::string_view name() const { return def->name; }
};

// What a block line is, and the property it states.
struct BlockLineInfo {
  BlockLineKind kind = BlockLineKind::kProperty;
  std::optional<std::size_t> property;  // none for the version line
  std::size_t begin = 0;                // where its bytes start in `block`, as held
  std::size_t size = 0;                 // without the CR LF (a text may hold CR or LF)
};

// The picture file's bytes, when the stream holds a picture.
struct Picture {
  std::string held;        // the bytes as the decode holds them (a long picture as its stand-in)
  Position position = 0;   // where the image starts in the file (after the record's header)
  std::uint64_t size = 0;  // the image's bytes
  std::string format;      // its kind, as a file extension (picture_format.h)
};

class DecodedRecord {
 public:
  const DeliverableInfo* control = nullptr;
  Position start = 1;
  bool offsets = false;
  StopInfo stop;
  Spool listing;  // CR LF lines, as held
  std::string block;
  std::vector<BlockLineInfo> blockLines;
  std::vector<Property> properties;  // in block order, a group before its members
  std::optional<Picture> picture;

  // What its texts expand with: the decode's long texts and the file they stay in.
  std::unique_ptr<LongTexts> texts = std::make_unique<LongTexts>();
  InputSource* input = nullptr;

  // A text of the record (a value, a line, the picture) with its long texts read from the file.
  TextRef Text(std::string_view held) const { return {held, texts.get(), input}; }
  void WriteListing(const std::function<void(std::string_view)>& write) const;
  // The picture's SHA-256 in hexadecimal, read from the file when it was left there: it costs
  // what the picture is long, so it is made only when asked for.
  std::string PictureDigest() const;
  // A block line as held, without its CR LF.
  std::string_view BlockLine(std::size_t line) const {
    return std::string_view(block).substr(blockLines[line].begin, blockLines[line].size);
  }
  // The property of this name at the top level (a group's member: `Font.Name`), or nothing.
  const Property* Find(std::string_view path) const;
  // The Index the stream holds (its index in a control array), or nothing: what a scan reads as
  // the record's index.
  std::optional<std::int64_t> Index() const;
  // The members of the group at index `group`, by index.
  std::vector<std::size_t> Members(std::size_t group) const;
};

// Decodes the stream at `start` as the plug-in decodes a request. `listing`: whether the record
// keeps the listing; texts and pictures of more than `longText` bytes stay in the file. The input
// must stay open while the record's texts are read.
DecodedRecord Decode(Decoder& decoder, InputSource& input, Position start, bool offsets,
                     bool listing = true, std::size_t longText = LongTexts::kDefaultThreshold);

// The name of the constant an enumerated property's value stands for, or nothing.
std::optional<std::string_view> Meaning(const Property& property);

// A flags property's set bits, each with the names the control gives it (none for a bit it does
// not name), lowest first.
struct FlagBit {
  std::uint32_t bit = 0;
  std::vector<std::string_view> names;
};
std::vector<FlagBit> SetBits(const Property& property);

// What a colour property's number is: a system colour (its index and name), an RGB value, or
// neither (a number no colour fits).
struct Colour {
  enum class Kind : std::uint8_t { kRgb, kSystem, kOther } kind = Kind::kOther;
  std::uint32_t raw = 0;  // the long as read
  int red = 0, green = 0, blue = 0;
  int index = -1;              // a system colour's index
  std::string_view name = {};  // a system colour's name, where the index has one
};
std::optional<Colour> ColourOf(const Property& property);

}  // namespace tvx::core
