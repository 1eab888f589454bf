// The byte cursor every decoder reads the property stream through.
//
// Contract: the cursor walks the bytes of the input file from the request's start position
// towards the end. Positions are 1-based file positions, as the host counts them. Numeric reads
// past the last byte of the file yield 0 and still advance the position; text reads take only
// the bytes that are in the file and never invent characters. The file is read on demand, in
// chunks of at most kMaxChunk bytes at the position being read: a decode fetches the bytes it
// consumes plus at most one chunk, whatever the size of the file around the stream. Nothing
// allocates more than the bytes the file holds. No exceptions, no global state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "tvx/decode_events.h"

namespace tvx {

class LongTexts;

// A file read at 0-based byte offsets.
class InputSource {
 public:
  virtual ~InputSource() = default;
  // Copies up to `size` bytes from `offset` into `into` and returns how many were in the file at
  // the moment of the read: fewer than asked only at the end of the file (or on a read error,
  // which counts as the end), 0 at or past it.
  virtual std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) = 0;
  // The file's size now.
  virtual std::uint64_t Size() = 0;
};

// Bytes in memory as an input file; the bytes must outlive it.
class BytesInput final : public InputSource {
 public:
  explicit BytesInput(std::string_view bytes) : bytes_(bytes) {}
  explicit BytesInput(std::span<const std::uint8_t> bytes)
      : bytes_(reinterpret_cast<const char*>(bytes.data()), bytes.size()) {}
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) override;
  std::uint64_t Size() override { return bytes_.size(); }

 private:
  std::string_view bytes_;
};

class StreamReader {
 public:
  // The first fetch is small (a stream is usually a few hundred bytes); each further one doubles
  // up to kMaxChunk.
  static constexpr std::size_t kFirstChunk = 4096;
  static constexpr std::size_t kMaxChunk = 65536;

  // Reads `input` from the 1-based position `start` (a whole number >= 1).
  StreamReader(InputSource& input, double start);
  StreamReader(const StreamReader&) = delete;
  StreamReader& operator=(const StreamReader&) = delete;

  double Position() const { return base_ + static_cast<double>(index_); }
  bool AtEnd() { return ByteAt(index_) < 0; }

  std::uint8_t ReadByte();
  std::uint16_t ReadWord();  // little-endian
  std::uint32_t ReadLong();  // little-endian
  // The same as two's-complement numbers: the observer is told the value as signed.
  std::int32_t ReadSignedWord();
  std::int64_t ReadSignedLong();
  // The bytes up to the first zero byte, which is consumed too; stops at the end of the file.
  std::string ReadZeroTerminated();
  // n bytes, one character each.
  std::string ReadText(std::uint64_t n);
  // n 16-bit units, of each only the low byte as a character.
  std::string ReadUtf16LowBytes(std::uint64_t n);
  // Moves the position forward without interpreting the bytes; `kind` says why, to an observer.
  void Skip(std::uint64_t n, ReadKind kind = ReadKind::kSkipped);
  // Copies up to n bytes as they are (the picture record's image); stops at the end of the file.
  std::string CopyBytes(std::uint64_t n);

  // Looks `ahead` bytes past the position without moving it and without telling the observer.
  unsigned PeekByte(std::uint64_t ahead);
  std::uint32_t PeekLong(std::uint64_t ahead);

  // Told of every read; nothing when the decode has no observer.
  void SetObserver(DecodeObserver* observer) { observer_ = observer; }
  DecodeObserver* Observer() const { return observer_; }
  // Texts and pictures longer than its threshold are left in the file (long_texts.h); the
  // plug-ins attach none.
  void SetLongTexts(LongTexts* texts) { longTexts_ = texts; }

 private:
  // The byte at `index` (counted from the start position), or -1 past the end of the file.
  int ByteAt(std::uint64_t index) {
    if (index >= chunkIndex_ && index - chunkIndex_ < chunkSize_) {
      return buffer_[static_cast<std::size_t>(index - chunkIndex_)];
    }
    return Fetch(index) ? buffer_[0] : -1;
  }
  // Makes the chunk start at `index`; false when `index` lies past the end of the file.
  bool Fetch(std::uint64_t index);
  // Appends up to n bytes from the position on to `out` (every byte, or every second one) and
  // moves past all n; returns how many of the n bytes were in the file.
  std::uint64_t Append(std::uint64_t n, std::string* out, std::uint64_t stride);
  std::uint32_t LittleEndian(std::uint64_t index, int size, std::uint64_t* got);
  // A number of `size` bytes (2 or 4) from the position on, noted as `kind`; the file's bytes of
  // it, zero past the end.
  std::uint32_t ReadNumber(ReadKind kind, int size, bool isSigned);
  void Note(ReadKind kind, double position, std::uint64_t size, std::uint64_t count,
            std::uint32_t number, std::string_view text = {}, bool isSigned = false);
  // How many of the n bytes from the position on the file holds, without reading them.
  std::uint64_t Held(std::uint64_t n);
  // Leaves the n bytes from the position on in the file (every `stride`-th, `got` of them in the
  // file) and moves past them: the stand-in.
  std::string LeaveInFile(std::uint64_t n, std::uint64_t got, std::uint8_t stride);
  // The n bytes from the position on into `out` (every `stride`-th), or, where they make a text
  // longer than the long texts' threshold, left in the file; returns how many the file held.
  std::uint64_t Take(std::uint64_t n, std::uint8_t stride, std::string& out);

  InputSource& input_;
  double base_;
  bool reachable_;        // false when the start lies beyond any file offset
  std::uint64_t origin_;  // file offset of the start position
  std::uint64_t index_ = 0;
  std::unique_ptr<std::uint8_t[]> buffer_;  // the bytes fetched last, from chunkIndex_ on
  std::size_t capacity_ = 0;
  std::size_t chunkSize_ = 0;
  std::uint64_t chunkIndex_ = 0;
  std::size_t nextChunk_ = kFirstChunk;
  std::uint64_t end_ = UINT64_MAX;  // index of the end of the file, once a fetch came up short
  DecodeObserver* observer_ = nullptr;
  LongTexts* longTexts_ = nullptr;
};

}  // namespace tvx
