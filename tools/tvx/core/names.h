// The names scripts match: every enum's word in tvx's JSON, CSV and Python module (and in its
// table's decode column). The JSON schema and the Python module's enums are checked against
// Vocabularies() by the tests.
#pragma once

#include <string_view>
#include <vector>

#include "links.h"
#include "record.h"
#include "tvx/decode_events.h"
#include "tvx/decoder.h"
#include "tvx/property.h"

namespace tvx::core {

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
std::string_view LineSourceCode(LineSource source);
// "integer", "boolean", "enumerated", "flags", "float", "text", "colour", "picture", "group".
std::string_view PropertyTypeCode(PropertyType type);
// "rgb", "system", "other".
std::string_view ColourKindCode(Colour::Kind kind);

// Each vocabulary by the name the schema and the Python module give it ("stop_code", ...), with
// its words in the order of its enum.
struct Vocabulary {
  std::string_view name;
  std::vector<std::string_view> words;
};
std::vector<Vocabulary> Vocabularies();

}  // namespace tvx::core
