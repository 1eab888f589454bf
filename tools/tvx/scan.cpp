#include "scan.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tvx::tool {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;
// A record's parts around its 00 FF pair: at most a word and 255 name bytes before it, the
// pair, a word, 255 class-name bytes and the 00 after it (longer names are not identifiers a
// form holds).
constexpr std::size_t kMaxName = 255;
constexpr std::size_t kBefore = 2 + kMaxName;
constexpr std::size_t kAfter = 2 + 2 + kMaxName + 1;

bool IsLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsNameChar(unsigned char c) {
  return IsLetter(c) || (c >= '0' && c <= '9') || c == '_';
}

// The record whose 00 FF pair stands at `pair` in `bytes` (which hold the file from offset
// `base`), if the bytes around it confirm one.
bool Confirm(const std::vector<unsigned char>& bytes, std::size_t pair, std::uint64_t base,
             ControlRecord* record) {
  // Before: the name, a maximal run of name characters; before it, its length as a word. The
  // word's high byte is 0, so the run cannot take in the length.
  std::size_t start = pair;
  while (start > 0 && pair - start < kMaxName && IsNameChar(bytes[start - 1]))
    --start;
  const std::size_t n = pair - start;
  if (n == 0 || start < 2 || !IsLetter(bytes[start]) || bytes[start - 2] != n ||
      bytes[start - 1] != 0) {
    return false;
  }
  // After: the class name's length, the class name, its 00.
  const std::size_t lengthAt = pair + 2;
  if (lengthAt + 2 > bytes.size()) return false;
  const std::size_t m = bytes[lengthAt] | (std::size_t{bytes[lengthAt + 1]} << 8);
  const std::size_t classAt = lengthAt + 2;
  if (m == 0 || m > kMaxName || classAt + m + 1 > bytes.size() || bytes[classAt + m] != 0) {
    return false;
  }
  for (std::size_t i = classAt; i < classAt + m; ++i) {
    if (!IsNameChar(bytes[i]) && bytes[i] != '.') return false;
  }
  record->name.assign(reinterpret_cast<const char*>(&bytes[start]), n);
  record->className.assign(reinterpret_cast<const char*>(&bytes[classAt]), m);
  record->position = static_cast<double>(base + classAt + m + 1) + 1;
  return true;
}

}  // namespace

void ScanRecords(InputSource& file, const std::function<void(const ControlRecord&)>& found) {
  // A window of the file: what is kept of the last chunk for the records that straddle it, and
  // the next chunk. Each 00 FF pair is looked at once, when the window holds all a record
  // around it could need (or the file ends).
  std::vector<unsigned char> window;
  std::uint64_t base = 0;  // file offset of window[0]
  std::uint64_t next = 0;  // file offset of the first pair not yet looked at
  for (bool atEnd = false; !atEnd;) {
    const std::size_t kept = window.size();
    window.resize(kept + kChunk);
    const std::size_t got = file.ReadAt(base + kept, window.data() + kept, kChunk);
    window.resize(kept + got);
    atEnd = got < kChunk;
    const std::size_t limit =
        atEnd ? window.size() : window.size() - std::min(window.size(), kAfter);
    for (std::size_t i = static_cast<std::size_t>(next - base); i + 1 < limit; ++i) {
      const void* hit = std::memchr(&window[i], 0x00, limit - 1 - i);
      if (hit == nullptr) {
        i = limit;
        break;
      }
      i = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - window.data());
      if (i + 1 >= limit) break;
      ControlRecord record;
      if (window[i + 1] == 0xFF && Confirm(window, i, base, &record)) found(record);
    }
    next = base + std::max<std::size_t>(limit, 1) - 1;
    // Keep what a later pair's record could reach back to.
    const std::size_t drop =
        std::min<std::size_t>(window.size(), static_cast<std::size_t>(next - base) > kBefore
                                                 ? static_cast<std::size_t>(next - base) - kBefore
                                                 : 0);
    window.erase(window.begin(), window.begin() + static_cast<std::ptrdiff_t>(drop));
    base += drop;
  }
}

}  // namespace tvx::tool
