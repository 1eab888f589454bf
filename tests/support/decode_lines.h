// Decoding an annotated-hex stream in memory, for a decoder's own unit tests: the listing and
// the property block as lines, each checked to end with CR LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tvx/decoder.h"

namespace tvx::testing {

struct DecodedLines {
  std::vector<std::string> listing;
  std::vector<std::string> block;
};

// The lines of a CR LF text; a failure is reported when the text does not end with CR LF.
std::vector<std::string> SplitLines(const std::string& text);

// Decodes the stream (from position 1) with a fresh decoder state, then writes the block.
DecodedLines DecodeBytes(Decoder& decoder, std::string_view bytes, bool offsets = false);
// The same, the stream given as annotated hex.
DecodedLines DecodeHex(Decoder& decoder, const std::string& hex, bool offsets = false);

// True when `lines` hold `line`.
bool HasLine(const std::vector<std::string>& lines, std::string_view line);

// The value of the block line labelled `name` (the label, blanks, "= ", the value); a failure
// is reported when there is none.
std::string BlockValue(const DecodedLines& d, std::string_view name);

}  // namespace tvx::testing
