// Fuzz target for the record finder of tvx scan: arbitrary bytes fed to it whole, in pieces of
// sizes the input chooses and with its runs of zeros as holes, give exactly the records that a
// plain search finds, one 00 FF pair after the other and a byte at a time.
//
// Input layout:
//   byte 0      how the bytes are fed: low 3 bits a piece size (16 << bits, so that a record
//               straddles pieces as often as not), bit 3 runs of zeros of at least 16 bytes
//               taken in as holes (records at the edges of a hole)
//   bytes 1-    the input
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "record_finder.h"

namespace tvx::fuzz {
namespace {

bool IsLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsNameChar(unsigned char c) {
  return IsLetter(c) || (c >= '0' && c <= '9') || c == '_';
}

// The records as their layout defines them: word n, n name bytes (a letter, then letters,
// digits, underscores; the whole run of them before the pair, at most 255), 00 FF, word m
// (1 to 255), m class-name bytes (those and dots), 00, the stream.
std::vector<core::Position> PlainSearch(const std::string& bytes) {
  std::vector<core::Position> found;
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  for (std::size_t pair = 0; pair + 1 < bytes.size(); ++pair) {
    if (b(pair) != 0x00 || b(pair + 1) != 0xFF) continue;
    std::size_t start = pair;
    while (start > 0 && pair - start < 255 && IsNameChar(b(start - 1)))
      --start;
    const std::size_t n = pair - start;
    if (n == 0 || start < 2 || !IsLetter(b(start)) || b(start - 2) != n || b(start - 1) != 0) {
      continue;
    }
    if (pair + 4 > bytes.size()) continue;
    const std::size_t m = b(pair + 2) | (std::size_t{b(pair + 3)} << 8);
    const std::size_t classAt = pair + 4;
    if (m == 0 || m > 255 || classAt + m + 1 > bytes.size() || b(classAt + m) != 0) continue;
    bool name = true;
    for (std::size_t i = classAt; i < classAt + m; ++i)
      name = name && (IsNameChar(b(i)) || b(i) == '.');
    if (name) found.push_back(classAt + m + 1 + 1);
  }
  return found;
}

}  // namespace
}  // namespace tvx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tvx::fuzz;
  if (size < 1) return 0;
  const unsigned how = data[0];
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t piece = std::size_t{16} << (how & 7);
  const bool holes = (how & 8) != 0;

  // One finder for every input: its window is too large to allocate quickly under the sanitizers.
  static std::vector<tvx::core::Position> found;
  static tvx::core::RecordFinder finder(
      [](const tvx::core::ControlRecord& record) { found.push_back(record.position); });
  found.clear();
  finder.Restart();
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t zeros = 0;
    while (holes && at + zeros < bytes.size() && bytes[at + zeros] == '\0')
      ++zeros;
    if (zeros >= 16) {
      finder.Zeros(zeros);
      at += zeros;
      continue;
    }
    const std::size_t n = std::min(
        {piece, bytes.size() - at, finder.Space().size(), tvx::core::RecordFinder::kPiece});
    std::memcpy(finder.Space().data(), bytes.data() + at, n);
    finder.Commit(n);
    at += n;
  }
  finder.Finish();
  Check(finder.size() == bytes.size(), "the finder took in every byte");
  Check(found == PlainSearch(bytes), "the records are those a plain search finds");
  return 0;
}
