// The annotated view of a property stream: every value read, with its position, its bytes and
// what it was read as, the listing lines it produced, the frame's sections, and where and why
// the decode stopped.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tvx/decode_run.h"
#include "tvx/output.h"
#include "tvx/reader.h"

namespace tvx::tool {

// One thing that happened during a decode, in the order it happened.
struct DecodeEvent {
  enum class Kind { kRead, kMark, kLine };
  Kind kind = Kind::kRead;
  double position = 0;      // reads and marks
  std::uint64_t count = 0;  // file bytes a read consumed
  std::string what;         // the reader ("word", "picture header", ...) or the mark
  std::string text;         // the value read, or the listing line
};

class DecodeRecorder final : public ReadObserver, public ListingObserver {
 public:
  void OnRead(double position, std::uint64_t count, std::string_view reader,
              std::string_view value) override;
  void OnMark(double position, std::string_view mark) override;
  void OnListingLine(std::string_view line) override;

  DecodeHooks Hooks() { return {this, this}; }
  const std::vector<DecodeEvent>& events() const { return events_; }

 private:
  std::vector<DecodeEvent> events_;
};

struct StreamView {
  InputSource* input = nullptr;  // the program file
  double start = 1;              // the stream's first position
};

// Writes the annotated view of a recorded decode. Every file byte from the start position to
// the last byte read appears exactly once, in order, each hex row starting with its position.
void WriteExplanation(const std::vector<DecodeEvent>& events, const StreamView& stream,
                      std::ostream& out);

}  // namespace tvx::tool
