#include "tvx/reader.h"

#include <algorithm>

#include "tvx/text.h"

namespace tvx {

namespace {
// Far beyond any file, small enough that positions stay exact whole numbers in a double.
constexpr std::uint64_t kMaxCount = std::uint64_t{1} << 52;
}  // namespace

std::uint64_t CountFrom(double n) {
  if (!(n >= 1)) return 0;  // also NaN
  if (n >= static_cast<double>(kMaxCount)) return kMaxCount;
  return static_cast<std::uint64_t>(n);
}

std::uint64_t StreamReader::Advance(std::uint64_t n) {
  const std::uint64_t inFile = std::min(n, Remaining());
  index_ = std::min(index_ + n, kMaxCount);
  return inFile;
}

std::uint64_t StreamReader::Take(std::uint64_t n, std::uint64_t* first) {
  *first = index_;
  return Advance(n);
}

void StreamReader::Note(double position, std::uint64_t count, std::string_view reader,
                        std::string_view value) {
  if (observer_ != nullptr) observer_->OnRead(position, count, reader, value);
}

double StreamReader::GetByte() {
  const double at = Position();
  std::uint64_t first = 0;
  const std::uint64_t got = Take(1, &first);
  const unsigned value = got == 1 ? bytes_[first] : 0;
  if (observer_ != nullptr) Note(at, got, "byte", NumberText(value));
  return value;
}

double StreamReader::GetWord() {
  const double at = Position();
  std::uint64_t first = 0;
  const std::uint64_t got = Take(2, &first);
  unsigned value = 0;
  for (std::uint64_t i = 0; i < got; ++i)
    value |= unsigned{bytes_[first + i]} << (8 * i);
  if (observer_ != nullptr) Note(at, got, "word", NumberText(value));
  return value;
}

double StreamReader::GetLong() {
  const double at = Position();
  std::uint64_t first = 0;
  const std::uint64_t got = Take(4, &first);
  std::uint32_t value = 0;
  for (std::uint64_t i = 0; i < got; ++i) {
    value |= std::uint32_t{bytes_[first + i]} << (8 * i);
  }
  if (observer_ != nullptr) Note(at, got, "long", NumberText(value));
  return value;
}

std::string StreamReader::GetDosString() {
  const double at = Position();
  std::string text;
  std::uint64_t got = 0;
  while (index_ < bytes_.size()) {
    const std::uint8_t b = bytes_[index_++];
    ++got;
    if (b == 0) break;
    text.push_back(static_cast<char>(b));
  }
  if (got == 0) index_ = std::min(index_ + 1, kMaxCount);  // the terminating zero past the end
  if (observer_ != nullptr) Note(at, got, "zero-terminated text", text);
  return text;
}

std::string StreamReader::GetDOSStringWLen(double n) {
  const double at = Position();
  std::uint64_t first = 0;
  const std::uint64_t got = Take(CountFrom(n), &first);
  std::string text(reinterpret_cast<const char*>(bytes_.data() + first), got);
  if (observer_ != nullptr) Note(at, got, "text", text);
  return text;
}

std::string StreamReader::GetUnicodeStringWLen(double n) {
  const double at = Position();
  const std::uint64_t units = CountFrom(n);
  const std::uint64_t first = index_;
  const std::uint64_t bytes = std::min(units, kMaxCount / 2) * 2;
  const std::uint64_t got = Advance(bytes);
  // A unit whose low byte is in the file gives its character; nothing past the end does.
  std::string text;
  text.reserve((got + 1) / 2);
  for (std::uint64_t i = 0; i < got; i += 2)
    text.push_back(static_cast<char>(bytes_[first + i]));
  if (observer_ != nullptr) Note(at, got, "UTF-16 text", text);
  return text;
}

void StreamReader::Skip(double n, std::string_view why) {
  const double at = Position();
  const std::uint64_t got = Advance(CountFrom(n));
  if (observer_ != nullptr) Note(at, got, why, "");
}

std::string StreamReader::CopyBytes(double n) {
  const double at = Position();
  std::uint64_t first = 0;
  const std::uint64_t got = Take(CountFrom(n), &first);
  std::string data(reinterpret_cast<const char*>(bytes_.data() + first), got);
  if (observer_ != nullptr) Note(at, got, "picture bytes", NumberText(static_cast<double>(got)));
  return data;
}

}  // namespace tvx
