// What one decode read and where, as typed values: every value read in stream order with the
// code it belongs to, the parts of the stream's frame, and the listing lines each value produced,
// handed on as the decode goes. Nothing here is in words: render/ says it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "decode.h"
#include "places.h"
#include "tvx/decode_events.h"

namespace tvx::core {

struct ExplainedCode {
  int code = 0;
  FramePart section = FramePart::kSectionA;
  CodeOutcome outcome = CodeOutcome::kProperty;
};

struct ExplainedValue {
  std::size_t index = 0;  // its number among the values read, from 0
  ReadKind kind = ReadKind::kByte;
  Position position = 0;       // its first byte
  std::uint64_t size = 0;      // the bytes the read covers
  std::uint64_t consumed = 0;  // of them, the bytes the file holds: fewer only at the file's end
  std::uint32_t bits = 0;      // a number's bytes, little-endian (past the file's end as 0)
  bool isSigned = false;       // the decoder reads the number as two's complement
  std::string_view text;       // a text's characters (may be a long text: see `decode`)
  FramePart part = FramePart::kSectionA;  // where in the frame it lies
  std::optional<ExplainedCode> code;      // set for a section's code byte
  const StreamDecode* decode = nullptr;   // the decode it was read by

  // The number as the decoder reads it.
  std::int64_t Number() const;
  bool IsNumber() const { return kind <= ReadKind::kLong; }
  bool IsText() const {
    return kind == ReadKind::kZeroTerminatedText || kind == ReadKind::kText ||
           kind == ReadKind::kUtf16LowBytes;
  }
  TextRef Text() const { return decode->Text(text); }
  // The position after the file bytes it consumed.
  Position End() const { return position + consumed; }
};

// What an explaining decode hands on, in stream order: a frame part as it starts, each value,
// then the listing lines it produced (ListingLine, as for a decode); then the block and the
// picture. Part and Value return false to stop the decode there.
class ExplainSink : public DecodeSink {
 public:
  virtual bool Part(FramePart /*part*/, Position /*at*/) { return true; }
  virtual bool Value(const ExplainedValue& /*value*/) { return true; }
};

struct Explained {
  DecodeResult decode;
  bool cut = false;              // a sink stopped the decode: no stop, block or picture
  std::size_t values = 0;        // values handed on
  std::size_t listingLines = 0;  // listing lines handed on
  std::vector<std::size_t> listingBeforeReads;  // those written before any read
  Position start = 1;                           // the stream's first position
  Position next = 1;                            // the first position after the bytes read
  std::uint64_t fileSize = 0;                   // the file's size once the decode was done
};

// Decodes the stream, handing every value, frame part and listing line to `sink` as it goes.
// The texts handed on expand through `decode` until its next run.
Explained Explain(StreamDecode& decode, ExplainSink& sink);

// Whether the stream at `position` has more than `limit` values: a decode that stops at the
// first value past them (what `explain --limit` shows no block for).
bool MoreValuesThan(Decoder& decoder, InputSource& input, Position position, bool offsets,
                    std::uint64_t limit);

}  // namespace tvx::core
