// tvx's JSON: every document is an object whose "schema" member names the version of these
// conventions and whose "kind" member says what it holds (tvx.schema.json gives each kind's
// members). Member names are snake_case; places are "position" (1-based) and "offset" (0-based),
// both whole numbers. Stream texts are strings whose characters are the bytes' numbers (bytes
// 0x80 to 0xFF as U+0080 to U+00FF, so that Python's s.encode('latin-1') gives the bytes back). A
// path is the same string when it is valid UTF-8; otherwise "file" holds it with each invalid
// byte as U+FFFD and "file_bytes" holds its bytes as a stream text. Everything outside ASCII is
// written as \u escapes, so no byte of the output reaches a terminal as a control.
//
// Documents whose texts may be long (a decode's listing and block, an explanation's values) are
// written as they are made, each decode run again for the part of the document it fills.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "decode.h"
#include "plugin_host.h"
#include "scan.h"
#include "writer.h"

namespace tvx::render {

// The version of tvx's JSON; it changes when a member changes its meaning or goes away.
inline constexpr std::string_view kJsonSchema = "tvx/1";

// The path as UTF-8 text: as it is when it is valid UTF-8, otherwise with each byte that is not
// part of valid UTF-8 as U+FFFD.
std::string Utf8Path(std::string_view path);
// A stream text as a JSON string, with its quotes.
std::string JsonString(std::string_view bytes);

// Runs the decode once more, handing what it writes to the sink.
using DecodeRun = std::function<core::DecodeResult(core::DecodeSink&)>;

// tvx decode --json: one indented document.
void WriteDecodeJson(Writer& out, const DeliverableInfo& control, const std::string& file,
                     core::Position position, bool offsets, const DecodeRun& run);

// tvx scan --json: a record's line, with its decode when `run` is given.
void WriteScanRecordJson(Writer& out, const core::FoundRecord& record, const DecodeRun* run);
// The last line: the totals.
void WriteScanSummaryJson(Writer& out, const core::ScanTotals& totals);

// tvx explain --json: at most `limit` values (0 for all). How the decode ended, unless the
// limit cut it.
std::optional<core::StopInfo> WriteExplainJson(Writer& out, const DeliverableInfo& control,
                                               const std::string& file, Decoder& decoder,
                                               InputSource& input, core::Position position,
                                               bool offsets, std::uint64_t limit);

// tvx host --json: the exchange; the plug-in's listing and block as it wrote them. `stop` is how
// the same decode in this process ended, when tvx knows the plug-in's control.
void WriteHostJson(Writer& out, const core::HostOutcome& host, const std::string& file,
                   core::Position position, bool offsets, const core::StopInfo* stop);

// The members "code", "text", "position", "offset" and "byte" of a stop, as JSON text.
std::string StopJson(const core::StopInfo& stop);

}  // namespace tvx::render
