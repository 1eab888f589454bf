// The annotated view of a property stream: every value read, with its position, its bytes and
// what it was read as, the listing lines it produced, the frame's sections, where and why the
// decode stopped, and each property-block line with the bytes it came from.
#pragma once

#include <cstdint>

#include "cli.h"
#include "common.h"
#include "tvx/decode_run.h"

namespace tvx::tool {

struct ExplainOptions {
  bool json = false;        // one JSON document instead of the table
  bool colour = false;      // ANSI colours in the table
  std::uint64_t limit = 0;  // at most this many table rows (JSON: values); 0 for no limit
};

// Decodes the request's stream, recording every read, and writes the explanation of it to `out`;
// returns what that decode gave.
DecodeOutput Explain(Decoder& decoder, const Request& request, ReadOnlyFiles& files,
                     const ExplainOptions& options, Output& out);

}  // namespace tvx::tool
