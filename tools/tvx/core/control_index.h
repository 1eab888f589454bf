// A control's index in its control array, read as its decoder reads it: the Index of the
// stream's section A (extender code 1), the section decoded by the control's own decoder with an
// observer and the decode stopped at the section's end. Cheap (a section A is a few bytes) and the
// same number core::Decode's Index property holds, since it is the same decode.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "places.h"
#include "tvx/decoder.h"
#include "tvx/reader.h"

namespace tvx::core {

struct IndexRead {
  bool sectionEnded = false;          // the decode reached the end code of section A
  std::optional<std::int64_t> index;  // the Index, when the section holds one
  // More codes than kMaxPassedOver that the control does not know came first: bytes that are no
  // stream (a run of zeros, say) are not read on to a distant 0x2D; no index is given.
  bool gaveUp = false;
};
inline constexpr int kMaxPassedOver = 256;

// Reads section A of the stream at `start`. Where the input ends before the section does,
// `sectionEnded` is false and `index` is what the section held up to there. `stop`: the decode is
// stopped at the section's end (by an exception, which costs a few microseconds); without it, the
// decode goes on to the input's end, for an input of a few hundred bytes.
IndexRead ReadIndex(Decoder& decoder, InputSource& input, Position start, bool stop = true);

// Bytes in memory that stand for the input from offset `origin` on (the bytes of a scan's
// window): reads before `origin` or past the bytes find nothing.
class WindowInput final : public InputSource {
 public:
  WindowInput(std::span<const std::uint8_t> bytes, std::uint64_t origin)
      : bytes_(bytes), origin_(origin) {}
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) override;
  std::uint64_t Size() override { return origin_ + bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::uint64_t origin_;
};

}  // namespace tvx::core
