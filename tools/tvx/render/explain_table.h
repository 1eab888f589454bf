// tvx explain's table: every value read, in order, with its position, offset, bytes and what it
// was read as, the listing lines each produced, where and why the decode stopped, and the
// property block with the positions each line came from. Written as the decode goes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "decode.h"
#include "explanation.h"
#include "writer.h"

namespace tvx::render {

struct TableOptions {
  bool colour = false;      // ANSI colours
  bool utf8 = true;         // the terminal shows UTF-8 (for the path)
  std::uint64_t limit = 0;  // at most this many rows; the decode stops there. 0: no limit
  bool whole = false;       // every byte of a long value, not its first ones and a count
};

// The bytes a value shows in rows unless the whole of each is asked for.
inline constexpr std::uint64_t kShownValueBytes = 256;

// The table of a stream's explanation, written as the explanation hands its values on: the
// header when made, then a row per value and listing line, and, on Finish, the stop and the block
// with the positions each line came from.
class ExplainTable final : public core::ExplainSink {
 public:
  ExplainTable(Writer& out, const DeliverableInfo& control, const std::string& file,
               core::Position position, std::uint64_t fileSize, const TableOptions& options);
  ~ExplainTable() override;
  bool Part(FramePart part, core::Position at) override;
  bool Value(const core::ExplainedValue& value) override;
  bool ListingLine(const core::TextRef& line) override;
  // How the decode ended (nothing when the limit cut it).
  std::optional<core::StopInfo> Finish(const core::Explanation& x);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tvx::render
