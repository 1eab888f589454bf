// What one decode read and where each result came from, built from the decode's typed events:
// every value read in stream order with the code it belongs to, the frame's parts, the listing
// lines each read produced, and, for each property-block line, the reads it came from. `tvx
// explain` shows it as a table or JSON; the HTML report links the stream's bytes with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tvx/decode_events.h"
#include "tvx/decode_run.h"

namespace tvx::tool {

class ReadOnlyFiles;

struct ExplainedRead {
  ReadEvent read;  // its `text` is empty: `text` holds the characters read
  std::string text;
  FramePart part = FramePart::kSectionA;  // where in the frame it lies
  std::optional<CodeEvent> code;          // set for a section's code byte
  std::string what;                       // what the bytes were read as, in words
  std::vector<std::size_t> listing;       // the listing lines written after it, before the next
  std::vector<std::size_t> block;         // the block lines it feeds (when linked)

  // The file bytes it consumed: positions [read.position, End()).
  double End() const { return read.position + static_cast<double>(read.count); }
};

// A part of the frame that starts before the read `beforeRead` (or after the last read).
struct PartStart {
  std::size_t beforeRead = 0;
  double position = 0;
  FramePart part = FramePart::kSectionA;
};

// Where a block line's value came from.
enum class LineSource : std::uint8_t {
  kReads,       // the reads in `sources`
  kStartValue,  // not from the stream: a decode of no bytes writes the line too
  kNotTraced,   // no read that could be changed alone changes it
  kNotLinked,   // the stream was too long to work it out
};

struct Explanation {
  DecodeOutput output;
  double start = 1;            // the stream's first position
  double next = 1;             // the first position after the bytes read
  std::uint64_t fileSize = 0;  // the file's size when it was explained
  std::vector<ExplainedRead> reads;
  std::vector<PartStart> parts;
  std::vector<std::size_t> listingBeforeReads;    // listing lines written before any read
  std::vector<std::string> listing;               // the listing's lines, without CR LF
  std::vector<std::string> block;                 // the block's lines, without CR LF
  std::vector<LineSource> lineSources;            // per block line
  std::vector<std::vector<std::size_t>> sources;  // per block line: the reads it came from
  std::string stopped;                            // where and why the decode stopped, in words
};

// What a read took, as a code for scripts ("word", "utf16_text", ...) and in words ("UTF-16
// text").
std::string_view ReadKindCode(ReadKind kind);
std::string_view ReadKindWords(ReadKind kind);

// Decodes the request's stream with an observer, then works out each block line's sources by
// decoding again with each read's bytes changed. The request's input must open in `files`.
Explanation Explain(Decoder& decoder, const Request& request, ReadOnlyFiles& files);

}  // namespace tvx::tool
