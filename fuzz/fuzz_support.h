// What the fuzz targets share: a failure that every runner notices, the in-memory file system,
// and the checks on the shape of output text.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "memory_files.h"
#include "tvx/decode_run.h"

namespace tvx::fuzz {

// Reports a broken rule and aborts, so that libFuzzer keeps the input and a replay run fails.
[[noreturn]] void Fail(std::string_view what, std::string_view detail = {});

inline void Check(bool ok, std::string_view what, std::string_view detail = {}) {
  if (!ok) Fail(what, detail);
}

using testing::MemoryFileSystem;

// Records the length of every listing line as it is ended: the lines themselves are then read
// from the finished listing, without a copy of each.
class LineRecorder final : public DecodeObserver {
 public:
  void OnListingLine(std::string_view line) override { lengths.push_back(line.size()); }
  std::vector<std::size_t> lengths;
};

// The listing: exactly the recorded lines, each ended by CR LF, which it returns as views of the
// listing. With `strict` (the input holds no CR or LF byte, so no stream value can carry one
// into a line) no line holds a CR or LF.
std::vector<std::string_view> CheckListing(std::string_view listing,
                                           const std::vector<std::size_t>& lengths, bool strict);

// The property block: ended by CR LF; with `strict`, a sequence of lines each ended by CR LF
// with no CR or LF anywhere else.
void CheckBlock(std::string_view block, bool strict);

bool HasLineBreakByte(std::string_view bytes);

// The upper-case hexadecimal digits of a whole number, worked out without the program's code.
std::string Hex(std::uint64_t value);

}  // namespace tvx::fuzz
