// Which block line came from which values read, from the bytes each property declares: a value
// feeds a line when its bytes lie in those its property came from. Exact, at any stream size.
#pragma once

#include <cstdint>
#include <vector>

#include "places.h"
#include "record.h"

namespace tvx::core {

// Where a block line came from.
enum class LineSource : std::uint8_t {
  kValues,      // the values read at `from`
  kStartValue,  // not from the stream: what a fresh decode holds (the version line too)
  kNotTraced,   // its property names bytes that no value read covers
  kNotLinked,   // no block to link: the explanation was cut short
};

struct LineLink {
  LineSource source = LineSource::kNotLinked;
  std::vector<Position> from;  // the positions of the values it came from, in stream order
};

class BlockLinker {
 public:
  explicit BlockLinker(const DecodedRecord& record);

  // The block lines that a value read of `size` bytes at `position` feeds, in order; the value
  // is noted as the source of each.
  std::vector<std::size_t> Feed(Position position, std::uint64_t size);
  // Per block line, once every value has been fed.
  std::vector<LineLink> Links() const;

 private:
  struct Span {
    Position begin = 0;
    Position end = 0;  // past the last byte; begin for a value of no bytes
    std::size_t line = 0;
  };
  std::vector<Span> spans_;      // by begin
  std::vector<Position> reach_;  // the largest end of spans_[0..i]
  std::vector<LineLink> links_;
};

}  // namespace tvx::core
