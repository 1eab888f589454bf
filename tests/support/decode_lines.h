// Decoding an annotated-hex stream in memory, for a decoder's own unit tests: the listing and
// the property block as lines, each checked to end with CR LF.
#pragma once

#include <string>
#include <vector>

#include "tvx/decoder.h"

namespace tvx::testing {

struct DecodedLines {
  std::vector<std::string> listing;
  std::vector<std::string> block;
};

// The lines of a CR LF text; a failure is reported when the text does not end with CR LF.
std::vector<std::string> SplitLines(const std::string& text);

// Runs ParseControl on the stream (from position 1), then WriteToFile.
DecodedLines DecodeHex(Decoder& decoder, const std::string& hex, bool offsets = false);

}  // namespace tvx::testing
