// What one decode read and where, as typed values: every value read in stream order with the
// code it belongs to, the parts of the stream's frame, and the listing lines each value produced,
// handed on as the decode goes. Nothing here is in words: render/ says it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "decode.h"
#include "links.h"
#include "places.h"
#include "record.h"
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
  std::vector<std::size_t> blockLines;    // the block lines it feeds, from 0

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

// What an explaining decode hands on, in stream order: a frame part as it starts, each value
// (with the block lines it feeds), then the listing lines it produced. Each returns false to stop
// the decode there.
class ExplainSink {
 public:
  virtual ~ExplainSink() = default;
  // Before anything else: whether the limit cuts the decode short (then no block follows).
  virtual void Start(bool /*cut*/) {}
  virtual bool Part(FramePart /*part*/, Position /*at*/) { return true; }
  virtual bool Value(const ExplainedValue& /*value*/) { return true; }
  virtual bool ListingLine(const TextRef& /*line*/) { return true; }
};

struct Explained {
  DecodeResult decode;
  bool cut = false;        // a sink or the limit stopped the decode: no stop, block or picture
  std::size_t values = 0;  // values handed on
  std::size_t listingLines = 0;                 // listing lines handed on
  std::vector<std::size_t> listingBeforeReads;  // those written before any read
  Position start = 1;                           // the stream's first position
  Position next = 1;                            // the first position after the bytes read
  std::uint64_t fileSize = 0;                   // the file's size once the decode was done
};

// A whole explanation: what was handed on, the listing as far as it went, and, unless it was
// cut, the decoded record with each block line linked to the values it came from.
struct Explanation {
  Explained e;
  std::unique_ptr<StreamDecode> decode;  // the values' and the listing's texts expand through it
  Spool listing;                         // the listing lines handed on, CR LF lines
  std::string lastLine;                  // the last listing line, unless a long text
  std::optional<DecodedRecord> record;   // none when cut
  std::vector<LineLink> links;           // per block line of the record
};

// Explains the stream at `position`: at most `limit` values (0: all), handed to `sink` as the
// decode goes, each with the block lines it feeds.
Explanation Explain(Decoder& decoder, InputSource& input, Position position, bool offsets,
                    std::uint64_t limit, ExplainSink& sink);

// Whether the stream at `position` has more than `limit` values: a decode that stops at the
// first value past them (what `explain --limit` shows no block for).
bool MoreValuesThan(Decoder& decoder, InputSource& input, Position position, bool offsets,
                    std::uint64_t limit);

}  // namespace tvx::core
