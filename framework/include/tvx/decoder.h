// What a decoder offers the framework, and what one decode hands it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "tvx/output.h"
#include "tvx/property.h"
#include "tvx/reader.h"
#include "tvx/text.h"

namespace tvx {

// Who a deliverable is, to the host and to the tools.
struct DeliverableInfo {
  std::string_view name;       // the program's name without its extension
  std::string_view classWord;  // the control class, as the window caption shows it
  std::string_view caption;    // the window caption, which the host finds the window by
  std::size_t labelWidth;      // property-block labels are padded to this width
  // The registered class names of the control in form source (compared without regard to
  // case), by which `tvx scan` recognises its records; empty where they vary.
  std::string_view classNames;  // several separated by blanks
};

// How a decode ended.
enum class DecodeEnd {
  kEndCode,         // section B's end code was read
  kEndOfInput,      // the file ended before the next code byte ("Unexpected end of file")
  kStopLine,        // an unknown section B code; the decoder's stop line was written
  kNoInput,         // the input could not be opened ("Cannot open input file: ")
  kInvalidRequest,  // the request was malformed ("Invalid request")
};

// Where a decode stopped, as the stream's frame saw it.
struct StopPlace {
  // The position of the code byte that ended or stopped the decode; when the file ended, the
  // position where the next code byte would have been. 0 when no code was reached.
  double position = 0;
  int code = -1;  // the code byte read there; -1 when the file ended or no code was reached
};

// Everything a decoder reads and writes during one decode: the input positioned at the stream's
// start, the listing, and the picture file's contents.
class DecodeContext {
 public:
  DecodeContext(StreamReader& reader, bool showOffsets)
      : reader_(reader), showOffsets_(showOffsets) {}

  StreamReader& In() { return reader_; }
  // The 1-based file position of the next byte: taken before a value is read, it is the
  // value's position, which its offset line shows.
  double Position() const { return reader_.Position(); }
  // Each read carries the bytes it covered: its position and how far the position moved.
  Read<std::uint8_t> ReadByte() { return Sourced(&StreamReader::ReadByte); }
  Read<std::uint16_t> ReadWord() { return Sourced(&StreamReader::ReadWord); }
  Read<std::uint32_t> ReadLong() { return Sourced(&StreamReader::ReadLong); }
  Read<std::int32_t> ReadSignedWord() { return Sourced(&StreamReader::ReadSignedWord); }
  Read<std::int64_t> ReadSignedLong() { return Sourced(&StreamReader::ReadSignedLong); }
  Read<std::string> ReadZeroTerminated() { return Sourced(&StreamReader::ReadZeroTerminated); }
  Read<std::string> ReadText(std::uint64_t n) {
    return Sourced<std::string, std::uint64_t>(&StreamReader::ReadText, n);
  }
  Read<std::string> ReadUtf16LowBytes(std::uint64_t n) {
    return Sourced<std::string, std::uint64_t>(&StreamReader::ReadUtf16LowBytes, n);
  }
  // The bytes from `at` to the position: a record read by several reads.
  Source Since(double at) const { return {at, static_cast<std::uint64_t>(Position() - at)}; }
  void Skip(std::uint64_t n, ReadKind kind = ReadKind::kSkipped) { reader_.Skip(n, kind); }

  // The decode's observer, or nothing: the frame tells it of its parts and codes.
  DecodeObserver* Observer() const { return reader_.Observer(); }
  // Where the frame ended the decode.
  void SetStop(StopPlace stop) { stop_ = stop; }
  StopPlace Stop() const { return stop_; }

  Listing& Out() { return listing_; }
  // A listing line, given as pieces (texts, and numbers as ShortText).
  template <typename... Pieces>
  void Line(const Pieces&... pieces) {
    listing_.Line(pieces...);
  }
  // A listing line for the value at position `at`, then, when offsets were asked for, its offset
  // line: "  (Offset d/h: " + decimal + "/" + hexadecimal + ")".
  template <typename... Pieces>
  void LineAt(double at, const Pieces&... pieces) {
    listing_.Line(pieces...);
    if (showOffsets_) OffsetLine(at);
  }

  // A word or a long listed as `label` and its number, with its offset line.
  Read<std::uint16_t> ListWord(std::string_view label) {
    const Read<std::uint16_t> value = ReadWord();
    LineAt(value.from.Ranges()[0].position, label, NumberChars(value));
    return value;
  }
  Read<std::uint32_t> ListLong(std::string_view label) {
    const Read<std::uint32_t> value = ReadLong();
    LineAt(value.from.Ranges()[0].position, label, NumberChars(value));
    return value;
  }

  // One bit of a flag field read as `field`: listed as setLine or clearLine at the field's
  // position; the bit, from the field's bytes.
  Read<bool> ListBit(const Read<std::uint32_t>& field, std::uint32_t mask, std::string_view setLine,
                     std::string_view clearLine) {
    const bool set = (field.value & mask) != 0;
    LineAt(field.from.Ranges()[0].position, set ? setLine : clearLine);
    return {set, field.from};
  }

  // Reads a picture record at the current position (a long length, 8 header bytes, length - 8
  // bytes of image) into the picture file's contents; returns the bytes of the whole record.
  Source ReadPicture();
  std::optional<std::string> TakePicture() { return std::move(picture_); }
  // Where the picture's image starts in the file (the last picture read).
  double PicturePosition() const { return picturePosition_; }

 private:
  void OffsetLine(double at);
  template <typename T, typename... Args>
  Read<T> Sourced(T (StreamReader::*read)(Args...), Args... args) {
    const double at = Position();
    T value = (reader_.*read)(args...);
    return {std::move(value), Since(at)};
  }

  StreamReader& reader_;
  bool showOffsets_;
  Listing listing_;
  std::optional<std::string> picture_;
  double picturePosition_ = 0;
  StopPlace stop_;
};

class Decoder {
 public:
  virtual ~Decoder() = default;
  virtual const DeliverableInfo& Info() const = 0;
  // Back to the values of a fresh process; every decode starts with it.
  virtual void Reset() = 0;
  // Reads the stream from the current position, storing values and writing the listing.
  virtual DecodeEnd ReadStream(DecodeContext& ctx) = 0;
  // Writes the property block from the stored values alone.
  virtual void WriteBlock(BlockWriter& out) const = 0;
};

// A decoder made of its state, a reader and a block writer: every decoder of the tree is one.
// All that a decode stores lives in State, whose default values are those of a fresh process,
// so a reset is the assignment of a fresh State.
template <typename State>
class StateDecoder final : public Decoder {
 public:
  using StreamReaderFn = DecodeEnd (*)(DecodeContext&, State&);
  using BlockWriterFn = void (*)(BlockWriter&, const State&);

  StateDecoder(const DeliverableInfo& info, StreamReaderFn read, BlockWriterFn write)
      : info_(info), read_(read), write_(write) {}

  const DeliverableInfo& Info() const override { return info_; }
  void Reset() override { state_ = State{}; }
  DecodeEnd ReadStream(DecodeContext& ctx) override { return read_(ctx, state_); }
  void WriteBlock(BlockWriter& out) const override { write_(out, state_); }

 private:
  const DeliverableInfo& info_;
  StreamReaderFn read_;
  BlockWriterFn write_;
  State state_;
};

template <typename State>
std::unique_ptr<Decoder> MakeStateDecoder(const DeliverableInfo& info,
                                          typename StateDecoder<State>::StreamReaderFn read,
                                          typename StateDecoder<State>::BlockWriterFn write) {
  return std::make_unique<StateDecoder<State>>(info, read, write);
}

}  // namespace tvx
