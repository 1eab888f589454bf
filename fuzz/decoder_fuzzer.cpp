// Fuzz target for one decoder (TVX_FUZZ_DECODER names its folder): arbitrary bytes as the program
// file, decoded from a start position taken from the input, with and without offsets, and the
// outputs held to the rules every decode keeps whatever the bytes. The decoder is made as its
// plug-in program makes it, and the program file is the fuzzer's own input buffer, allocated to
// its exact size, so that a read past its end is reported.
//
// Input layout:
//   byte 0      how the start position is chosen, by its low two bits:
//                 0  the number v itself (0 counts as 1)
//                 1  1 + v mod (file size + 1): inside the file, or just past its end
//                 2  file size + 1 + v: past the end of the file
//                 3  10^15 + v
//   bytes 1-4   v, 32-bit little-endian
//   bytes 5-    the program file
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "tvx/decode_run.h"
#include "tvx/output.h"

#if !defined(TVX_FUZZ_DECODER) || !defined(TVX_FUZZ_DECODER_HEADER)
#error "TVX_FUZZ_DECODER and TVX_FUZZ_DECODER_HEADER must name the decoder that is fuzzed"
#endif
#include TVX_FUZZ_DECODER_HEADER

namespace tvx::fuzz {
namespace {

constexpr char kPath[] = "C:\\apps\\program.exe";
constexpr std::string_view kOffsetLineStart = "  (Offset d/h: ";

namespace decoder = tvx::TVX_FUZZ_DECODER;
using Plugin = StateDecoder<decoder::State>;

// A decoder as the deliverable's program makes it: in the state of a fresh process.
Plugin NewDecoder() {
  return Plugin(decoder::kInfo, decoder::ReadStream, decoder::WriteBlock);
}

struct Run {
  DecodeOutput out;
  std::vector<std::size_t> lengths;  // of the listing lines, in order
};

Run Decode(Decoder& decoder, MemoryFileSystem& files, double start, bool offsets) {
  Request request;
  request.valid = true;
  request.path = kPath;
  request.start = start;
  request.offsets = offsets;
  LineRecorder lines;
  files.ClearRecords();
  Run run{RunDecode(decoder, request, files, &lines), std::move(lines.lengths)};
  Check(files.opened.size() == 1 && files.opened[0] == kPath,
        "a decode run opens its input other than once");
  Check(files.readOffsets.empty() || static_cast<double>(files.readOffsets[0]) == start - 1,
        "a decode run first reads its input other than at the requested position");
  Check(files.writes.empty(), "a decode run wrote a file itself");
  return run;
}

// An offset line is "  (Offset d/h: " + decimal + "/" + hexadecimal + ")"; returns the position.
std::optional<std::uint64_t> OffsetLinePosition(std::string_view line) {
  if (!line.starts_with(kOffsetLineStart) || line.back() != ')') return std::nullopt;
  const std::string_view body =
      line.substr(kOffsetLineStart.size(), line.size() - kOffsetLineStart.size() - 1);
  const std::size_t slash = body.find('/');
  if (slash == std::string::npos || slash == 0 || slash > 17) return std::nullopt;
  std::uint64_t position = 0;
  for (std::size_t i = 0; i < slash; ++i) {
    if (body[i] < '0' || body[i] > '9') return std::nullopt;
    position = position * 10 + static_cast<std::uint64_t>(body[i] - '0');
  }
  Check(body.substr(slash + 1) == Hex(position), "an offset line's two numbers differ", line);
  return position;
}

// Checks one run's outputs and returns its listing lines, as views of its listing.
std::vector<std::string_view> CheckRun(const Run& run, std::string_view file, double start,
                                       bool offsets) {
  const std::string& listing = run.out.listing;
  const std::string& block = run.out.block;
  // Stream values pass into both outputs unchanged: only a file without CR and LF bytes shows
  // that no line holds one.
  const bool strict = !HasLineBreakByte(file);
  std::vector<std::string_view> lines = CheckListing(listing, run.lengths, strict);
  CheckBlock(block, strict);
  Check(block.rfind(std::string(kLibraryVersionLine) + "\r\n", 0) == 0,
        "the property block does not start with LibraryVersion3.0", block);

  // Time and space in proportion to the input: every listing line stands for at least one byte
  // read from the file (or for one of the decoder's fixed fields), and no line is long.
  const std::size_t fileSize = file.size();
  const double n = static_cast<double>(fileSize);
  Check(static_cast<double>(listing.size()) <= 64 * n + 65536, "the listing is out of proportion",
        listing.substr(0, 2000));
  Check(static_cast<double>(block.size()) <= 16 * n + 65536, "the block is out of proportion",
        block.substr(0, 2000));
  if (run.out.picture) {
    Check(run.out.picture->size() <= fileSize, "the picture is larger than the input");
  }

  for (const std::string_view line : lines) {
    if (!line.starts_with(kOffsetLineStart)) continue;
    const auto position = OffsetLinePosition(line);
    Check(position.has_value(), "a malformed offset line", line);
    Check(offsets, "an offset line although no offsets were asked for", line);
    const double p = static_cast<double>(*position);
    // A value's position lies at or after the start; reads past the end of the file may move on
    // by a few counted lengths, never by more than a few times 2^32.
    Check(p >= start && p <= start + n + 68719476736.0, "an offset line's position is impossible",
          line);
  }
  return lines;
}

std::vector<std::string_view> WithoutOffsetLines(const std::vector<std::string_view>& lines) {
  std::vector<std::string_view> kept;
  kept.reserve(lines.size());
  for (const std::string_view line : lines) {
    if (!OffsetLinePosition(line)) kept.push_back(line);
  }
  return kept;
}

double StartPosition(std::uint8_t how, std::uint32_t v, std::size_t fileSize) {
  switch (how & 3) {
    case 0:
      return v == 0 ? 1.0 : static_cast<double>(v);
    case 1:
      return 1.0 + static_cast<double>(v % (static_cast<std::uint64_t>(fileSize) + 1));
    case 2:
      return static_cast<double>(fileSize) + 1.0 + static_cast<double>(v);
    default:
      return 1e15 + static_cast<double>(v);
  }
}

}  // namespace
}  // namespace tvx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tvx::fuzz;
  if (size < 5) return 0;
  const std::uint32_t v =
      static_cast<std::uint32_t>(data[1]) | static_cast<std::uint32_t>(data[2]) << 8 |
      static_cast<std::uint32_t>(data[3]) << 16 | static_cast<std::uint32_t>(data[4]) << 24;
  // The file system outlives the input; the program file is the input buffer itself.
  static MemoryFileSystem files;
  const std::string_view file(reinterpret_cast<const char*>(data + 5), size - 5);
  files.borrowed[kPath] = file;
  const double start = StartPosition(data[0], v, file.size());

  Plugin decoder = NewDecoder();
  const Run withOffsets = Decode(decoder, files, start, true);
  const auto withOffsetsLines = CheckRun(withOffsets, file, start, true);
  const Run without = Decode(decoder, files, start, false);
  const auto withoutLines = CheckRun(without, file, start, false);

  // The offset flag adds offset lines and changes nothing else.
  Check(withoutLines == WithoutOffsetLines(withOffsetsLines),
        "the listing without offsets is not the listing with offsets less its offset lines",
        without.out.listing);
  Check(without.out.block == withOffsets.out.block, "the offset flag changes the block");
  Check(without.out.picture == withOffsets.out.picture, "the offset flag changes the picture");

  // Every run starts from the values of a fresh process: a decoder that first decoded another
  // stream of the same file gives the same outputs.
  Plugin used = NewDecoder();
  Decode(used, files, start == 1 ? 2 : 1, true);
  const Run again = Decode(used, files, start, true);
  Check(again.out.listing == withOffsets.out.listing, "an earlier run changes the listing",
        again.out.listing);
  Check(again.out.block == withOffsets.out.block, "an earlier run changes the block",
        again.out.block);
  Check(again.out.picture == withOffsets.out.picture, "an earlier run changes the picture");
  return 0;
}
