// tvx explain --json: the explanation as one JSON document (docs/tools.md lists its members).
#include "explain_view.h"
#include "json_output.h"

namespace tvx::tool {

namespace {

std::string_view LineSourceCode(LineSource source) {
  switch (source) {
    case LineSource::kReads:
      return "reads";
    case LineSource::kStartValue:
      return "start_value";
    case LineSource::kNotTraced:
      return "not_traced";
    case LineSource::kNotLinked:
      return "not_linked";
  }
  return "";
}

Json ValueJson(const ExplainedRead& r) {
  Json value = Json::object();
  AddJsonPlace(value, r.read.position);
  value["size"] = r.read.size;
  value["consumed"] = r.read.count;
  value["read"] = ReadKindCode(r.read.kind);
  switch (r.read.kind) {
    case ReadKind::kByte:
    case ReadKind::kWord:
    case ReadKind::kLong:
      value["value"] = r.read.number;
      break;
    case ReadKind::kZeroTerminatedText:
    case ReadKind::kText:
    case ReadKind::kUtf16LowBytes:
      value["value"] = JsonBytes(r.text);
      break;
    default:
      value["value"] = nullptr;
  }
  value["what"] = JsonBytes(r.what);
  value["part"] = FramePartCode(r.part);
  value["code"] = r.code ? Json{{"code", r.code->code},
                                {"section", FramePartCode(r.code->section)},
                                {"outcome", CodeOutcomeCode(r.code->outcome)}}
                         : Json(nullptr);
  value["listing_lines"] = r.listing;
  value["block_lines"] = r.block;
  return value;
}

}  // namespace

void WriteJsonExplanation(const Explanation& e, const DeliverableInfo& info, const Request& request,
                          std::uint64_t limit, Output& out) {
  Json doc = JsonDocument("explain");
  doc["control"] = info.name;
  AddJsonFile(doc, request.path);
  AddJsonPlace(doc, request.start);
  doc["file_size"] = e.fileSize;
  Json values = Json::array();
  for (const ExplainedRead& r : e.reads) {
    if (limit != 0 && values.size() == limit) break;
    values.push_back(ValueJson(r));
  }
  doc["cut"] = values.size() < e.reads.size();
  doc["values"] = std::move(values);
  doc["listing"] = JsonLines(e.output.listing);
  doc["listing_before_reads"] = e.listingBeforeReads;
  Json block = Json::array();
  for (std::size_t l = 0; l < e.block.size(); ++l) {
    Json from = Json::array();
    for (const std::size_t i : e.sources[l])
      from.push_back(JsonNumber(e.reads[i].read.position));
    block.push_back({{"line", JsonBytes(e.block[l])},
                     {"source", LineSourceCode(e.lineSources[l])},
                     {"from", std::move(from)}});
  }
  doc["block"] = std::move(block);
  Json decoded = Json::object();
  AddJsonDecode(decoded, e.output);
  doc["stop"] = std::move(decoded["stop"]);
  doc["picture"] = std::move(decoded["picture"]);
  doc["stopped"] = JsonBytes(e.stopped);
  doc["accounted"] = JsonNumber(e.next - e.start);
  WriteJson(out, doc);
}

std::string_view FramePartCode(FramePart part) {
  switch (part) {
    case FramePart::kSectionA:
      return "section_a";
    case FramePart::kControlBlock:
      return "control_block";
    case FramePart::kSectionB:
      return "section_b";
  }
  return "";
}

std::string_view CodeOutcomeCode(CodeOutcome outcome) {
  switch (outcome) {
    case CodeOutcome::kProperty:
      return "property";
    case CodeOutcome::kPassedOver:
      return "passed_over";
    case CodeOutcome::kStopped:
      return "stopped";
    case CodeOutcome::kEndOfSection:
      return "end_of_section";
  }
  return "";
}

}  // namespace tvx::tool
