// tvx explain's two views of an explanation: the table for people and the JSON document.
#pragma once

#include <cstdint>

#include "cli.h"
#include "explanation.h"

namespace tvx::tool {

struct ExplainOptions {
  bool json = false;        // one JSON document instead of the table
  bool colour = false;      // ANSI colours in the table
  std::uint64_t limit = 0;  // at most this many table rows (JSON: values); 0 for no limit
};

// `file` is the program file the explanation was made from (its bytes are shown again).
void WriteExplanation(const Explanation& e, const DeliverableInfo& info, const Request& request,
                      InputSource& file, const ExplainOptions& options, Output& out);

// The JSON document of an explanation; at most `limit` values (0 for all).
void WriteJsonExplanation(const Explanation& e, const DeliverableInfo& info, const Request& request,
                          std::uint64_t limit, Output& out);

// What tvx calls the parts of the frame and the codes' outcomes in its JSON.
std::string_view FramePartCode(FramePart part);
std::string_view CodeOutcomeCode(CodeOutcome outcome);

}  // namespace tvx::tool
