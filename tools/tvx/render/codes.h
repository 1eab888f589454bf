// Every enum's name in tvx's JSON (and in its table's decode column): the words scripts match.
// tvx.schema.json lists the same names.
#pragma once

#include <string_view>

#include "provenance.h"
#include "tvx/decode_events.h"
#include "tvx/decoder.h"

namespace tvx::render {

// How a decode ended: "end_code", "input_ended", "stopped_by_stream", "invalid_request",
// "input_not_opened".
std::string_view StopCode(DecodeEnd ended);
// What a read took: "byte", "word", "long", "zero_terminated_text", "text", "utf16_text",
// "skipped", "control_block_gap", "picture_header", "picture_bytes".
std::string_view ReadKindCode(ReadKind kind);
// "section_a", "control_block", "section_b".
std::string_view FramePartCode(FramePart part);
// "property", "passed_over", "stopped", "end_of_section".
std::string_view CodeOutcomeCode(CodeOutcome outcome);
// "reads", "start_value", "not_traced", "not_linked".
std::string_view LineSourceCode(core::LineSource source);

}  // namespace tvx::render
