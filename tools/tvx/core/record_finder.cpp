#include "record_finder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TVX_SCAN_SSE2 1
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define TVX_SCAN_AVX2 1
#endif

namespace tvx::core {

namespace {

// A record's parts around its 00 FF pair: at most a word and 255 name bytes before it, the
// pair, a word, 255 class-name bytes and the 00 after it (longer names are not identifiers a
// form holds). A form's header reaches further back (forms.h).
constexpr std::size_t kMaxName = 255;
constexpr std::size_t kBefore = std::max<std::size_t>(2 + kMaxName, kFormHeaderBefore);
constexpr std::size_t kAfter = 2 + 2 + kMaxName + 1;
// What the window keeps of the last piece: the bytes before the first pair not yet looked at, and
// those after it (at most kAfter + 1 once a piece was searched, any few before the first search).
constexpr std::size_t kKeep = 1024;
static_assert(kKeep >= kBefore + kAfter + 1);
// Zero bytes taken in at each edge of a long hole: more than a record around a pair can reach.
constexpr std::uint64_t kEdge = kKeep;

bool IsLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsNameChar(unsigned char c) {
  return IsLetter(c) || (c >= '0' && c <= '9') || c == '_';
}

// The record whose 00 FF pair stands at `pair` in `bytes` (`size` of them, the input from offset
// `base`), if the bytes around it confirm one.
bool Confirm(const std::uint8_t* bytes, std::size_t size, std::size_t pair, std::uint64_t base,
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
  if (lengthAt + 2 > size) return false;
  const std::size_t m = bytes[lengthAt] | (std::size_t{bytes[lengthAt + 1]} << 8);
  const std::size_t classAt = lengthAt + 2;
  if (m == 0 || m > kMaxName || classAt + m + 1 > size || bytes[classAt + m] != 0) return false;
  for (std::size_t i = classAt; i < classAt + m; ++i) {
    if (!IsNameChar(bytes[i]) && bytes[i] != '.') return false;
  }
  record->name.assign(reinterpret_cast<const char*>(&bytes[start]), n);
  record->className.assign(reinterpret_cast<const char*>(&bytes[classAt]), m);
  record->position = base + classAt + m + 1 + 1;
  record->start = base + start - 2;
  return true;
}

}  // namespace

std::size_t FindPairBytewise(const std::uint8_t* bytes, std::size_t from, std::size_t last,
                             const PairSeconds& seconds) {
  for (std::size_t i = from; i < last; ++i) {
    if (bytes[i] == 0x00 &&
        (bytes[i + 1] == seconds[0] || bytes[i + 1] == seconds[1] || bytes[i + 1] == seconds[2])) {
      return i;
    }
  }
  return last;
}

std::size_t FindPairWordwise(const std::uint8_t* bytes, std::size_t from, std::size_t last,
                             const PairSeconds& seconds) {
  std::size_t i = from;
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    // The high bit of each byte of `x` that is 0 (no carry crosses bytes, so none is marked
    // falsely).
    const auto zeroBytes = [](std::uint64_t x) { return ~(((x & kLow7) + kLow7) | x | kLow7); };
    for (; i + 8 <= last; i += 8) {  // reads bytes[i] to bytes[i + 8]
      std::uint64_t here;
      std::uint64_t after;
      std::memcpy(&here, bytes + i, 8);
      std::memcpy(&after, bytes + i + 1, 8);
      // A byte of `here | (after ^ s)` is 0 exactly where a 00 is followed by the byte s.
      std::uint64_t zero = 0;
      for (const std::uint8_t second : seconds)
        zero |= zeroBytes(here | (after ^ (kOnes * second)));
      if (zero != 0) return i + static_cast<std::size_t>(std::countr_zero(zero)) / 8;
    }
  }
  return FindPairBytewise(bytes, i, last, seconds);
}

namespace {

#ifdef TVX_SCAN_SSE2
std::size_t FindPairSse2(const std::uint8_t* bytes, std::size_t from, std::size_t last,
                         const PairSeconds& seconds) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i s0 = _mm_set1_epi8(static_cast<char>(seconds[0]));
  const __m128i s1 = _mm_set1_epi8(static_cast<char>(seconds[1]));
  const __m128i s2 = _mm_set1_epi8(static_cast<char>(seconds[2]));
  const auto pairs = [&](std::size_t at) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
    const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at + 1));
    const __m128i second =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(after, s0), _mm_cmpeq_epi8(after, s1)),
                     _mm_cmpeq_epi8(after, s2));
    return _mm_and_si128(_mm_cmpeq_epi8(here, zero), second);
  };
  std::size_t i = from;
  for (; i + 64 <= last; i += 64) {  // reads bytes[i] to bytes[i + 64]
    const __m128i hits[4] = {pairs(i), pairs(i + 16), pairs(i + 32), pairs(i + 48)};
    const __m128i any =
        _mm_or_si128(_mm_or_si128(hits[0], hits[1]), _mm_or_si128(hits[2], hits[3]));
    if (_mm_movemask_epi8(any) == 0) continue;
    for (std::size_t k = 0; k < 4; ++k) {
      const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits[k]));
      if (mask != 0) return i + 16 * k + static_cast<std::size_t>(std::countr_zero(mask));
    }
  }
  for (; i + 16 <= last; i += 16) {
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(pairs(i)));
    if (mask != 0) return i + static_cast<std::size_t>(std::countr_zero(mask));
  }
  return FindPairBytewise(bytes, i, last, seconds);
}
#endif

#ifdef TVX_SCAN_AVX2
// 32 bytes at a time, where the processor has AVX2 (chosen when the program runs).
__attribute__((target("avx2"))) std::size_t FindPairAvx2(const std::uint8_t* bytes,
                                                         std::size_t from, std::size_t last,
                                                         const PairSeconds& seconds) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i s0 = _mm256_set1_epi8(static_cast<char>(seconds[0]));
  const __m256i s1 = _mm256_set1_epi8(static_cast<char>(seconds[1]));
  const __m256i s2 = _mm256_set1_epi8(static_cast<char>(seconds[2]));
  const auto pairs = [&](std::size_t at) __attribute__((target("avx2"))) {
    const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + at));
    const __m256i after = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + at + 1));
    const __m256i second =
        _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(after, s0), _mm256_cmpeq_epi8(after, s1)),
                        _mm256_cmpeq_epi8(after, s2));
    return static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(here, zero), second)));
  };
  std::size_t i = from;
  for (; i + 64 <= last; i += 64) {  // reads bytes[i] to bytes[i + 64]
    const std::uint64_t mask = pairs(i) | (std::uint64_t{pairs(i + 32)} << 32);
    if (mask != 0) return i + static_cast<std::size_t>(std::countr_zero(mask));
  }
  for (; i + 32 <= last; i += 32) {
    const std::uint32_t mask = pairs(i);
    if (mask != 0) return i + static_cast<std::size_t>(std::countr_zero(mask));
  }
  return FindPairBytewise(bytes, i, last, seconds);
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

}  // namespace

std::size_t FindPair(const std::uint8_t* bytes, std::size_t from, std::size_t last,
                     const PairSeconds& seconds) {
#ifdef TVX_SCAN_AVX2
  if (HasAvx2()) return FindPairAvx2(bytes, from, last, seconds);
#endif
#ifdef TVX_SCAN_SSE2
  return FindPairSse2(bytes, from, last, seconds);
#else
  return FindPairWordwise(bytes, from, last, seconds);
#endif
}

std::vector<PairSearch> PairSearches() {
  std::vector<PairSearch> searches = {FindPairWordwise};
#ifdef TVX_SCAN_SSE2
  searches.push_back(FindPairSse2);
#endif
#ifdef TVX_SCAN_AVX2
  if (HasAvx2()) searches.push_back(FindPairAvx2);
#endif
  return searches;
}

RecordFinder::RecordFinder(Found found, FoundForm form)
    : found_(std::move(found)),
      form_(std::move(form)),
      seconds_(form_ ? kFormPairs : kRecordPairs),
      window_(new std::uint8_t[kKeep + kPiece]) {}

std::span<std::uint8_t> RecordFinder::Space() {
  return {window_.get() + length_, kKeep + kPiece - length_};
}

void RecordFinder::Commit(std::size_t count) {
  length_ += count;
  if (length_ > kAfter) Search(length_ - kAfter);
  Keep();
}

void RecordFinder::Zeros(std::uint64_t count) {
  while (count > 0) {
    if (count > 3 * kEdge) {
      // A run of zeros holds no pair. Once kEdge of them are in, every pair before them has been
      // looked at with all it needs after it, and the pairs still waiting lie among zeros; kEdge
      // zeros at the far end stand before whatever follows as the run did.
      Zeros(kEdge);
      const std::uint64_t skipped = count - 2 * kEdge;
      base_ += length_ + skipped;
      length_ = 0;
      next_ = base_;
      count = kEdge;
    }
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, kPiece));
    std::memset(Space().data(), 0, n);
    Commit(n);
    count -= n;
  }
}

void RecordFinder::Finish() {
  finishing_ = true;
  Search(length_);
  finishing_ = false;
  Keep();
}

void RecordFinder::Search(std::size_t limit) {
  // The pairs whose second byte lies before `limit`.
  if (limit == 0) return;
  const std::size_t last = limit - 1;
  std::size_t i = static_cast<std::size_t>(next_ - base_);
  while (i < last) {
    i = FindPair(window_.get(), i, last, seconds_);
    if (i >= last) break;
    if (window_[i + 1] != 0xFF) {
      FormHeader header;
      if (ConfirmForm(window_.get(), i, base_, &header)) {
        next_ = base_ + i;
        form_(header);
      }
    } else if (ControlRecord record; Confirm(window_.get(), length_, i, base_, &record)) {
      const std::size_t stream = static_cast<std::size_t>(record.position - 1 - base_);
      record.after = {window_.get() + stream, length_ - stream};
      record.endsInput = finishing_;
      next_ = base_ + i;
      found_(record);
    }
    ++i;
  }
  next_ = base_ + std::max(i, last);
}

void RecordFinder::Keep() {
  // What a later pair's record could reach back to.
  const auto looked = static_cast<std::size_t>(next_ - base_);
  const std::size_t drop = std::min(length_, looked > kBefore ? looked - kBefore : 0);
  std::memmove(window_.get(), window_.get() + drop, length_ - drop);
  length_ -= drop;
  base_ += drop;
}

void ScanRecords(InputSource& file, const RecordFinder::Found& found) {
  RecordFinder finder(found);
  for (;;) {
    const std::span<std::uint8_t> space = finder.Space();
    const std::size_t want = std::min(space.size(), RecordFinder::kPiece);
    const std::size_t got = file.ReadAt(finder.size(), space.data(), want);
    finder.Commit(got);
    if (got < want) break;
  }
  finder.Finish();
}

bool IsWindowsProgram(std::span<const std::uint8_t> head) {
  if (head.size() < 0x40 || head[0] != 'M' || head[1] != 'Z') return false;
  const std::uint32_t at =
      head[0x3C] | (head[0x3D] << 8) | (head[0x3E] << 16) | (std::uint32_t{head[0x3F]} << 24);
  return at <= head.size() - 4 && head[at] == 'P' && head[at + 1] == 'E' && head[at + 2] == 0 &&
         head[at + 3] == 0;
}

}  // namespace tvx::core
