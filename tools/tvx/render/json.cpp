#include "json.h"

#include <optional>

#include "explanation.h"
#include "json_document.h"
#include "names.h"
#include "properties_json.h"
#include "text.h"
#include "words.h"

namespace tvx::render {

namespace {

// A decoded record's members: how it ended, the picture, the properties, the listing and the
// block.
void WriteDecodeMembers(Document& doc, const core::DecodedRecord& record) {
  const bool indented = !doc.OneLine();
  doc.Member("stop", StopObject(record.stop));
  doc.MemberText("picture", PictureMember(&record, indented));
  TextSlots slots;
  doc.MemberText("properties", PropertiesMember(record, slots, indented), &slots);
  TextSlots detailSlots;
  doc.MemberText("property_details", DetailsMember(record, detailSlots, indented), &detailSlots);
  doc.BeginArray("listing");
  {
    LinesArray lines(doc);
    record.WriteListing([&](std::string_view bytes) { lines.Feed(bytes); });
    lines.Finish();
  }
  doc.EndArray();
  doc.BeginArray("block");
  {
    LinesArray lines(doc);
    record.Text(record.block).Write([&](std::string_view bytes) { lines.Feed(bytes); });
    lines.Finish();
  }
  doc.EndArray();
}

// The form whose image holds a record: its name (bytes), kind byte and the kind's code where
// tvx knows it, and the image's offset and size.
Json FormJson(const std::optional<core::FormImage>& form) {
  if (!form) return nullptr;
  const std::string_view kind = form->kind == core::kFormKind      ? "form"
                                : form->kind == core::kMdiFormKind ? "mdi_form"
                                                                   : "";
  return Json{{"name", Bytes(form->name)},
              {"kind", form->kind},
              {"kind_name", kind.empty() ? Json(nullptr) : Json(kind)},
              {"offset", form->offset},
              {"size", form->size}};
}

}  // namespace

std::string Utf8Path(std::string_view path) {
  if (IsValidUtf8(path)) return std::string(path);
  // The library's own replacement of invalid bytes, taken back out of its JSON text.
  const std::string replaced =
      Json(std::string(path)).dump(-1, ' ', false, Json::error_handler_t::replace);
  return Json::parse(replaced).get<std::string>();
}

std::string JsonString(std::string_view bytes) {
  std::string text = "\"";
  AppendEscaped(text, bytes);
  text += "\"";
  return text;
}

std::string StopJson(const core::StopInfo& stop) {
  return StopObject(stop).dump(-1, ' ', true);
}

void WriteDecodeJson(Writer& out, const std::string& file, const core::DecodedRecord& record) {
  Json head = Head("decode");
  head["control"] = record.control->name;
  AddFile(head, file);
  AddPlace(head, record.start);
  head["offsets"] = record.offsets;
  Document doc(out, head, false);
  WriteDecodeMembers(doc, record);
  doc.End();
}

void WriteScanRecordJson(Writer& out, const core::FoundRecord& found,
                         const core::DecodedRecord* record) {
  Json head = Head("scan_record");
  AddFile(head, found.file);
  AddPlace(head, found.position);
  head["name"] = Bytes(found.name);
  head["class"] = Bytes(found.className);
  head["control"] = found.control != nullptr ? Json(found.control->name) : Json(nullptr);
  head["index"] = found.index ? Json(*found.index) : Json(nullptr);
  head["form"] = FormJson(found.form);
  Document doc(out, head, true);
  if (record != nullptr) WriteDecodeMembers(doc, *record);
  doc.End();
}

void WriteScanSummaryJson(Writer& out, const core::ScanTotals& totals) {
  Json summary = Head("scan_summary");
  summary["files"] = totals.files;
  summary["unreadable"] = totals.unreadable;
  summary["bytes"] = totals.bytes;
  summary["records"] = totals.records;
  Json controls = Json::object();
  for (std::size_t i = 0; i < core::Controls().size(); ++i) {
    if (totals.perControl[i] > 0)
      controls[std::string(core::Controls()[i]->name)] = totals.perControl[i];
  }
  summary["controls"] = std::move(controls);
  summary["other_classes"] = totals.others;
  summary["not_programs"] = totals.notPrograms;
  summary["forms"] = totals.forms;
  out << summary.dump(-1, ' ', true) << "\n";
}

// The explanation's document: its values are written once the listing lines each produced are
// known.
struct ExplainJson::State {
  State(Writer& out, Json head) : out(out), head(std::move(head)) {}
  Writer& out;
  Json head;
  std::optional<Document> doc;
  std::optional<Json> pending;
  std::optional<TextSlots> slots;
  std::size_t lines = 0;

  void Flush() {
    if (!pending) return;
    doc->Element(*pending, slots ? &*slots : nullptr);
    pending.reset();
    slots.reset();
  }
};

ExplainJson::ExplainJson(Writer& out, const DeliverableInfo& control, const std::string& file,
                         core::Position position, std::uint64_t fileSize) {
  Json head = Head("explain");
  head["control"] = control.name;
  AddFile(head, file);
  AddPlace(head, position);
  head["file_size"] = fileSize;
  state_ = std::make_unique<State>(out, std::move(head));
}

ExplainJson::~ExplainJson() = default;

void ExplainJson::Start(bool cut) {
  state_->head["cut"] = cut;
  state_->doc.emplace(state_->out, state_->head, false);
  state_->doc->BeginArray("values");
}

bool ExplainJson::Value(const core::ExplainedValue& v) {
  State& s = *state_;
  s.Flush();
  Json value = Json::object();
  AddPlace(value, v.position);
  value["size"] = v.size;
  value["consumed"] = v.consumed;
  value["read"] = core::ReadKindCode(v.kind);
  if (v.IsNumber()) {
    value["value"] = v.Number();
  } else if (v.IsText()) {
    s.slots.emplace();
    value["value"] = s.slots->Text(v.Text());
  } else {
    value["value"] = nullptr;
  }
  value["what"] = Bytes(ValueWords(v));
  value["part"] = core::FramePartCode(v.part);
  value["code"] = v.code ? Json{{"code", v.code->code},
                                {"section", core::FramePartCode(v.code->section)},
                                {"outcome", core::CodeOutcomeCode(v.code->outcome)}}
                         : Json(nullptr);
  value["listing_lines"] = Json::array();
  value["block_lines"] = v.blockLines;
  s.pending = std::move(value);
  return true;
}

bool ExplainJson::ListingLine(const core::TextRef&) {
  State& s = *state_;
  if (s.pending) (*s.pending)["listing_lines"].push_back(s.lines);
  ++s.lines;
  return true;
}

std::optional<core::StopInfo> ExplainJson::Finish(const core::Explanation& x) {
  State& s = *state_;
  s.Flush();
  Document& doc = *s.doc;
  doc.EndArray();
  const core::Explained& e = x.e;
  doc.BeginArray("listing");
  {
    LinesArray lines(doc);
    x.listing.Write([&](std::string_view piece) {
      x.decode->Text(piece).Write([&](std::string_view bytes) { lines.Feed(bytes); });
    });
    lines.Finish();
  }
  doc.EndArray();
  doc.Member("listing_before_reads", e.listingBeforeReads);
  doc.BeginArray("block");
  if (x.record) {
    // Each line as the decoder wrote it, with the values it came from.
    for (std::size_t line = 0; line < x.record->blockLines.size(); ++line) {
      TextSlots slots;
      Json object = {{"line", slots.Text(x.record->Text(x.record->BlockLine(line)))}};
      const core::LineLink link = line < x.links.size() ? x.links[line] : core::LineLink{};
      object["source"] = core::LineSourceCode(link.source);
      object["from"] = link.from;
      doc.Element(object, &slots);
    }
  }
  doc.EndArray();
  doc.Member("stop", e.cut ? Json(nullptr) : StopObject(e.decode.stop));
  doc.MemberText("picture", PictureMember(x.record ? &*x.record : nullptr, true));
  TextSlots slots;
  doc.MemberText("properties", x.record ? PropertiesMember(*x.record, slots, true) : "null",
                 &slots);
  TextSlots detailSlots;
  doc.MemberText("property_details",
                 x.record ? DetailsMember(*x.record, detailSlots, true) : "null", &detailSlots);
  doc.Member("stopped", Bytes(StoppedWords(e, x.lastLine)));
  doc.Member("accounted", e.next - e.start);
  doc.End();
  if (e.cut) return std::nullopt;
  return e.decode.stop;
}

void WriteHostJson(Writer& out, const core::HostOutcome& host, const std::string& file,
                   core::Position position, bool offsets, const core::StopInfo* stop) {
  Json head = Head("host");
  head["plugin"] = Utf8Path(host.program);
  AddFile(head, file);
  AddPlace(head, position);
  head["offsets"] = offsets;
  head["request"] = Bytes(host.request);
  head["reply"] = Bytes(host.reply);
  head["answered"] = host.answered;
  head["waited"] = host.waited;
  Json files = Json::array();
  for (const core::WrittenFile& f : host.files) {
    files.push_back({{"name", f.name}, {"written", f.written}, {"size", f.size}});
  }
  head["files"] = std::move(files);
  head["exit_status"] = host.exitStatus ? Json(*host.exitStatus) : Json(nullptr);
  head["after_reply"] = Bytes(host.rest);
  head["stop"] = stop != nullptr ? StopObject(*stop) : Json(nullptr);
  Document doc(out, head, false);
  // The plug-in's own listing and block, as it wrote them.
  for (std::size_t i = 0; i < 2; ++i) {
    doc.BeginArray(i == 0 ? "listing" : "block");
    if (i < host.files.size() && host.files[i].written) {
      LinesArray lines(doc);
      core::ReadWhole(host.files[i].path, [&lines](std::string_view piece) { lines.Feed(piece); });
      lines.Finish();
    }
    doc.EndArray();
  }
  doc.End();
}

}  // namespace tvx::render
