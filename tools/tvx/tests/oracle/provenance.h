// Which property-block line came from which value read, found out by experiment, without the
// properties' declared bytes: the oracle the declared links are checked against (links.h). each
// value's bytes are changed (all their bits, then the lowest bit of each) and the stream decoded
// again. A value whose change leaves the decode's path as it was (the same reads at the same
// positions) and changes a line is where that line came from. A line no such value changes is a
// start value when a decode of no bytes writes it too; otherwise it came from the values whose
// change changed it and at most a few lines in all (the code of a one-byte property such as
// Visible), or it is not traced (its bytes lay past the end of the file, or every value that
// changes it changes much of the block, as a count does). Lines are compared as a longest common
// subsequence, so that a line added above another does not count as a change of it.
//
// The experiment decodes the stream twice per value, with its bytes in memory: streams of more
// than kMaxLinkedBytes bytes, or whose values times bytes pass kMaxLinkingWork, are not linked.
#pragma once

#include <cstdint>
#include <vector>

#include "links.h"
#include "places.h"
#include "tvx/decoder.h"
#include "tvx/reader.h"

namespace tvx::core {

inline constexpr std::uint64_t kMaxLinkedBytes = std::uint64_t{4} << 20;
inline constexpr double kMaxLinkingWork = 64.0 * 1024 * 1024;

struct BlockLinks {
  bool linked = false;
  // Per block line (the block's CR LF lines): where it came from, and the values by index.
  std::vector<LineSource> sources;
  std::vector<std::vector<std::size_t>> values;
  // Per value: its position, and the block lines it feeds.
  std::vector<Position> positions;
  std::vector<std::vector<std::size_t>> lines;
  std::vector<bool> pathChanging;  // per value: a change of its bytes changed the decode's path
};

// The block lines of the stream at `start` linked to the values read.
BlockLinks LinkBlock(Decoder& decoder, InputSource& input, Position start, bool offsets);

}  // namespace tvx::core
