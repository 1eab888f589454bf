// tvx's JSON: every document is an object whose "schema" member names the version of these
// conventions and whose "kind" member says what it holds (tvx.schema.json gives each kind's
// members). Member names are snake_case; places are "position" (1-based) and "offset" (0-based),
// both whole numbers. Stream texts are strings whose characters are the bytes' numbers (bytes
// 0x80 to 0xFF as U+0080 to U+00FF, so that Python's s.encode('latin-1') gives the bytes back). A
// path is the same string when it is valid UTF-8; otherwise "file" holds it with each invalid
// byte as U+FFFD and "file_bytes" holds its bytes as a stream text. Everything outside ASCII is
// written as \u escapes, so no byte of the output reaches a terminal as a control.
//
// A decoded record carries "properties" and "property_details" (properties_json.h). Documents
// whose texts may be long are written a piece at a time: an explanation's values as the decode
// goes, texts left in the file read back as they are written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "decode.h"
#include "explanation.h"
#include "plugin_host.h"
#include "record.h"
#include "scan.h"
#include "writer.h"

namespace tvx::render {

// The version of tvx's JSON; it changes when a member changes its meaning or goes away.
inline constexpr std::string_view kJsonSchema = "tvx/2";

// The path as UTF-8 text: as it is when it is valid UTF-8, otherwise with each byte that is not
// part of valid UTF-8 as U+FFFD.
std::string Utf8Path(std::string_view path);
// A stream text as a JSON string, with its quotes.
std::string JsonString(std::string_view bytes);

// tvx decode --json: one indented document.
void WriteDecodeJson(Writer& out, const std::string& file, const core::DecodedRecord& record);

// tvx scan --json: a record's line, with its decode where given.
void WriteScanRecordJson(Writer& out, const core::FoundRecord& found,
                         const core::DecodedRecord* record);
// The last line: the totals.
void WriteScanSummaryJson(Writer& out, const core::ScanTotals& totals);

// tvx explain --json: a document begun before the explanation runs, its values written as they
// come (at most `limit`, 0 for all), finished with what the explanation made.
class ExplainJson final : public core::ExplainSink {
 public:
  ExplainJson(Writer& out, const DeliverableInfo& control, const std::string& file,
              core::Position position, std::uint64_t fileSize);
  ~ExplainJson() override;
  void Start(bool cut) override;
  bool Value(const core::ExplainedValue& value) override;
  bool ListingLine(const core::TextRef& line) override;
  // How the decode ended (nothing when the limit cut it).
  std::optional<core::StopInfo> Finish(const core::Explanation& x);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// tvx host --json: the exchange; the plug-in's listing and block as it wrote them. `stop` is how
// the same decode in this process ended, when tvx knows the plug-in's control.
void WriteHostJson(Writer& out, const core::HostOutcome& host, const std::string& file,
                   core::Position position, bool offsets, const core::StopInfo* stop);

// The members "code", "text", "position", "offset" and "byte" of a stop, as JSON text.
std::string StopJson(const core::StopInfo& stop);

}  // namespace tvx::render
