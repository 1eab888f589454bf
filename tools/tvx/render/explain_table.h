// tvx explain's table: every value read, in order, with its position, offset, bytes and what it
// was read as, the listing lines each produced, where and why the decode stopped, and the
// property block with the positions each line came from. Written as the decode goes.
#pragma once

#include <cstdint>
#include <string>

#include "decode.h"
#include "writer.h"

namespace tvx::render {

struct TableOptions {
  bool colour = false;      // ANSI colours
  bool utf8 = true;         // the terminal shows UTF-8 (for the path)
  std::uint64_t limit = 0;  // at most this many rows; the decode stops there. 0: no limit
};

// The table of the stream at `position` of `input` (named `file`) decoded by `decoder`;
// returns how the decode ended (nothing when the limit cut it).
std::optional<core::StopInfo> WriteExplainTable(Writer& out, const DeliverableInfo& control,
                                                const std::string& file, Decoder& decoder,
                                                InputSource& input, core::Position position,
                                                bool offsets, const TableOptions& options);

}  // namespace tvx::render
