// The byte cursor every decoder reads the property stream through.
//
// Contract: the cursor walks the bytes of the input file from the request's start position
// towards the end. Positions are 1-based file positions, as the host counts them. Numeric reads
// past the last byte of the file yield 0 and still advance the position; text reads take only
// the bytes that are in the file and never invent characters; nothing allocates more than the
// bytes that remain. No exceptions, no global state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tvx {

// Told of every primitive read, for the annotated stream view. `count` is the number of file
// bytes the read consumed (0 when it ran wholly past the end).
class ReadObserver {
 public:
  virtual ~ReadObserver() = default;
  virtual void OnRead(double position, std::uint64_t count, std::string_view reader,
                      std::string_view value) = 0;
  // A note on the stream's frame at `position`, consuming nothing: "section A", "section B",
  // or "code" just before a section's code byte is read.
  virtual void OnMark(double /*position*/, std::string_view /*mark*/) {}
};

class StreamReader {
 public:
  // `bytes` are the file's bytes from position `base` (1-based) to the end of the file.
  StreamReader(std::span<const std::uint8_t> bytes, double base) : bytes_(bytes), base_(base) {}

  double Position() const { return base_ + static_cast<double>(index_); }
  std::uint64_t Remaining() const { return index_ < bytes_.size() ? bytes_.size() - index_ : 0; }
  bool AtEnd() const { return Remaining() == 0; }

  double GetByte();
  double GetWord();
  double GetLong();
  std::string GetDosString();
  std::string GetDOSStringWLen(double n);
  std::string GetUnicodeStringWLen(double n);
  // Moves the position forward without interpreting the bytes.
  void Skip(double n, std::string_view why = "skipped");
  // Copies up to n bytes as they are (the picture record's image); stops at the end of the file.
  std::string CopyBytes(double n);

  void SetObserver(ReadObserver* observer) { observer_ = observer; }
  // Tells the observer, if any, where the stream's frame stands; reads nothing.
  void Mark(std::string_view mark) {
    if (observer_ != nullptr) observer_->OnMark(Position(), mark);
  }

 private:
  std::uint64_t Advance(std::uint64_t n);  // returns how many of the n bytes were in the file
  std::uint64_t Take(std::uint64_t n, std::uint64_t* first);
  void Note(double position, std::uint64_t count, std::string_view reader, std::string_view value);

  std::span<const std::uint8_t> bytes_;
  double base_;
  std::uint64_t index_ = 0;
  ReadObserver* observer_ = nullptr;
};

// Clamps a count read from the stream to a whole, non-negative number of units.
std::uint64_t CountFrom(double n);

}  // namespace tvx
