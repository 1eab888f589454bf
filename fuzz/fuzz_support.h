// What the fuzz targets share: a failure that every runner notices, an in-memory file system
// that hands out exactly-sized input buffers, and the checks on the shape of output text.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tvx/decode_run.h"

namespace tvx::fuzz {

// Reports a broken rule and aborts, so that libFuzzer keeps the input and a replay run fails.
[[noreturn]] void Fail(std::string_view what, std::string_view detail = {});

inline void Check(bool ok, std::string_view what, std::string_view detail = {}) {
  if (!ok) Fail(what, detail);
}

// A file system holding a few input files in memory. The bytes handed to a run are a fresh
// allocation of exactly the file's remaining size, so that AddressSanitizer reports any read
// past the end of the input. Writes are recorded, in order.
class MemoryFileSystem final : public FileSystem {
 public:
  struct ReadCall {
    std::string path;
    double start;
  };

  std::map<std::string, std::string, std::less<>> inputs;
  std::vector<ReadCall> reads;
  std::vector<std::pair<std::string, std::string>> writes;

  std::optional<InputFile> ReadInput(const std::string& path, double start) override;
  bool WriteOutput(std::string_view name, std::string_view bytes) override;
};

class LineRecorder final : public ListingObserver {
 public:
  void OnListingLine(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

// The listing: exactly the recorded lines, each ended by CR LF. With `strict` (the input holds
// no CR or LF byte, so no stream value can carry one into a line) no line holds a CR or LF.
void CheckListing(std::string_view listing, const std::vector<std::string>& lines, bool strict);

// The property block: ended by CR LF; with `strict`, a sequence of lines each ended by CR LF
// with no CR or LF anywhere else.
void CheckBlock(std::string_view block, bool strict);

bool HasLineBreakByte(std::string_view bytes);

// The upper-case hexadecimal digits of a whole number, worked out without the program's code.
std::string Hex(std::uint64_t value);

}  // namespace tvx::fuzz
