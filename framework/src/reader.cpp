#include "tvx/reader.h"

#include <algorithm>
#include <cstring>

#include "tvx/long_texts.h"
#include "tvx/text.h"

namespace tvx {

namespace {
// Far beyond any file, small enough that positions stay exact whole numbers in a double.
constexpr std::uint64_t kMaxCount = std::uint64_t{1} << 52;
// Start offsets from here on lie beyond any file: never read, so never overflow an offset.
constexpr double kUnreachable = 9007199254740992.0;  // 2^53
}  // namespace

std::size_t BytesInput::ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) {
  if (offset >= bytes_.size()) return 0;
  const std::size_t n = std::min<std::uint64_t>(size, bytes_.size() - offset);
  std::memcpy(into, bytes_.data() + offset, n);
  return n;
}

StreamReader::StreamReader(InputSource& input, double start)
    : input_(input),
      base_(start),
      reachable_(start - 1 < kUnreachable),
      origin_(reachable_ ? static_cast<std::uint64_t>(start - 1) : 0) {}

bool StreamReader::Fetch(std::uint64_t index) {
  if (!reachable_ || index >= end_) return false;
  const std::size_t want = nextChunk_;
  if (capacity_ < want) {
    buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(want);
    capacity_ = want;
  }
  nextChunk_ = std::min(nextChunk_ * 2, kMaxChunk);
  chunkIndex_ = index;
  chunkSize_ = input_.ReadAt(origin_ + index, buffer_.get(), want);
  if (chunkSize_ < want) end_ = index + chunkSize_;  // the file ends inside this chunk
  return chunkSize_ > 0;
}

std::uint64_t StreamReader::Append(std::uint64_t n, std::string* out, std::uint64_t stride) {
  std::uint64_t got = 0;
  while (got < n && ByteAt(index_ + got) >= 0) {
    // The rest of the chunk, at most what is still wanted.
    const std::uint64_t at = index_ + got - chunkIndex_;
    const std::uint64_t run = std::min<std::uint64_t>(chunkSize_ - at, n - got);
    if (stride == 1) {
      out->append(reinterpret_cast<const char*>(buffer_.get() + at), run);
    } else {
      // Every `stride`-th byte counted from the first byte of the whole read.
      for (std::uint64_t i = (stride - got % stride) % stride; i < run; i += stride)
        out->push_back(static_cast<char>(buffer_[at + i]));
    }
    got += run;
  }
  index_ = std::min(index_ + n, kMaxCount);
  return got;
}

std::uint32_t StreamReader::LittleEndian(std::uint64_t index, int size, std::uint64_t* got) {
  std::uint32_t value = 0;
  *got = 0;
  for (int i = 0; i < size; ++i) {
    const int b = ByteAt(index + static_cast<std::uint64_t>(i));
    if (b < 0) break;
    value |= static_cast<std::uint32_t>(b) << (8 * i);
    ++*got;
  }
  return value;
}

void StreamReader::Note(ReadKind kind, double position, std::uint64_t size, std::uint64_t count,
                        std::uint32_t number, std::string_view text, bool isSigned) {
  if (observer_ != nullptr) {
    observer_->OnRead({kind, position, size, count, number, text, isSigned});
  }
}

std::uint64_t StreamReader::Held(std::uint64_t n) {
  const std::uint64_t size = input_.Size();
  const std::uint64_t start = reachable_ ? origin_ + index_ : size;
  return start >= size ? 0 : std::min(n, size - start);
}

std::string StreamReader::LeaveInFile(std::uint64_t n, std::uint64_t got, std::uint8_t stride) {
  LongTexts::Entry entry;
  entry.offset = origin_ + index_;
  entry.length = (got + stride - 1) / stride;
  entry.stride = stride;
  index_ = std::min(index_ + n, kMaxCount);
  return longTexts_->Add(entry);
}

std::uint8_t StreamReader::ReadByte() {
  const double at = Position();
  const int b = ByteAt(index_);
  index_ = std::min(index_ + 1, kMaxCount);
  const auto value = static_cast<std::uint8_t>(b < 0 ? 0 : b);
  Note(ReadKind::kByte, at, 1, b < 0 ? 0 : 1, value);
  return value;
}

std::uint32_t StreamReader::ReadNumber(ReadKind kind, int size, bool isSigned) {
  const double at = Position();
  std::uint64_t got = 0;
  const std::uint32_t value = LittleEndian(index_, size, &got);
  index_ = std::min(index_ + static_cast<std::uint64_t>(size), kMaxCount);
  Note(kind, at, static_cast<std::uint64_t>(size), got, value, {}, isSigned);
  return value;
}

std::uint16_t StreamReader::ReadWord() {
  return static_cast<std::uint16_t>(ReadNumber(ReadKind::kWord, 2, false));
}

std::uint32_t StreamReader::ReadLong() {
  return ReadNumber(ReadKind::kLong, 4, false);
}

std::int32_t StreamReader::ReadSignedWord() {
  return Signed16(static_cast<std::uint16_t>(ReadNumber(ReadKind::kWord, 2, true)));
}

std::int64_t StreamReader::ReadSignedLong() {
  return Signed32(ReadNumber(ReadKind::kLong, 4, true));
}

std::string StreamReader::ReadZeroTerminated() {
  const double at = Position();
  std::string text;
  std::uint64_t got = 0;
  const std::uint64_t from = index_;
  for (int b = ByteAt(index_); b >= 0; b = ByteAt(index_)) {
    if (longTexts_ != nullptr && text.size() > longTexts_->threshold()) {
      // A long text: find its zero a chunk at a time, and leave its bytes in the file.
      std::uint64_t length = index_ - from;
      bool ended = false;
      while (!ended && ByteAt(from + length) >= 0) {
        const std::size_t here = static_cast<std::size_t>(from + length - chunkIndex_);
        const void* zero = std::memchr(buffer_.get() + here, 0, chunkSize_ - here);
        length = zero == nullptr ? chunkIndex_ + chunkSize_ - from
                                 : static_cast<std::uint64_t>(
                                       static_cast<const std::uint8_t*>(zero) - buffer_.get()) +
                                       chunkIndex_ - from;
        ended = zero != nullptr;
      }
      index_ = from;
      text = LeaveInFile(length, length, 1);
      got = length + (ended ? 1 : 0);
      if (ended) index_ = std::min(index_ + 1, kMaxCount);
      Note(ReadKind::kZeroTerminatedText, at, std::max<std::uint64_t>(got, 1), got, 0, text);
      return text;
    }
    index_ = std::min(index_ + 1, kMaxCount);
    ++got;
    if (b == 0) break;
    text.push_back(static_cast<char>(b));
  }
  if (got == 0) index_ = std::min(index_ + 1, kMaxCount);  // the terminating zero past the end
  Note(ReadKind::kZeroTerminatedText, at, std::max<std::uint64_t>(got, 1), got, 0, text);
  return text;
}

std::uint64_t StreamReader::Take(std::uint64_t n, std::uint8_t stride, std::string& out) {
  if (longTexts_ != nullptr && n / stride > longTexts_->threshold() &&
      Held(n) / stride > longTexts_->threshold()) {
    const std::uint64_t got = Held(n);
    out = LeaveInFile(n, got, stride);
    return got;
  }
  return Append(n, &out, stride);
}

std::string StreamReader::ReadText(std::uint64_t n) {
  const double at = Position();
  std::string text;
  const std::uint64_t size = std::min(n, kMaxCount);
  const std::uint64_t got = Take(size, 1, text);
  Note(ReadKind::kText, at, size, got, 0, text);
  return text;
}

std::string StreamReader::ReadUtf16LowBytes(std::uint64_t n) {
  const double at = Position();
  const std::uint64_t units = std::min(n, kMaxCount / 2);
  // A unit whose low byte is in the file gives its character; nothing past the end does.
  std::string text;
  const std::uint64_t got = Take(units * 2, 2, text);
  Note(ReadKind::kUtf16LowBytes, at, units * 2, got, 0, text);
  return text;
}

void StreamReader::Skip(std::uint64_t n, ReadKind kind) {
  const double at = Position();
  const std::uint64_t count = std::min(n, kMaxCount);
  const std::uint64_t from = index_;
  index_ = std::min(index_ + count, kMaxCount);
  if (observer_ == nullptr) return;
  // How many of the skipped bytes the file holds, without reading them.
  const std::uint64_t size = input_.Size();
  const std::uint64_t start = reachable_ ? origin_ + from : size;
  Note(kind, at, count, start >= size ? 0 : std::min(count, size - start), 0);
}

std::string StreamReader::CopyBytes(std::uint64_t n) {
  const double at = Position();
  std::string data;
  const std::uint64_t size = std::min(n, kMaxCount);
  const std::uint64_t got = Take(size, 1, data);
  Note(ReadKind::kPictureBytes, at, size, got, 0);
  return data;
}

unsigned StreamReader::PeekByte(std::uint64_t ahead) {
  const int b = ByteAt(index_ + std::min(ahead, kMaxCount));
  return b < 0 ? 0 : static_cast<unsigned>(b);
}

std::uint32_t StreamReader::PeekLong(std::uint64_t ahead) {
  std::uint64_t got = 0;
  return LittleEndian(index_ + std::min(ahead, kMaxCount), 4, &got);
}

}  // namespace tvx
