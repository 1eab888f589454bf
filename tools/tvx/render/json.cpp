#include "json.h"

#include <nlohmann/json.hpp>

#include "codes.h"
#include "explanation.h"
#include "provenance.h"
#include "text.h"
#include "words.h"

namespace tvx::render {

namespace {

using Json = nlohmann::ordered_json;

// A stream text's bytes inside a JSON string, escaped as the library escapes them.
void AppendEscaped(std::string& out, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    switch (b) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (b <= 0x1F || b >= 0x7F) {
          out += "\\u00";
          out.push_back(kHex[b >> 4]);
          out.push_back(kHex[b & 15]);
        } else {
          out.push_back(c);
        }
    }
  }
}

Json Bytes(std::string_view bytes) {
  return Latin1ToUtf8(bytes);
}

// A whole number (a position, a size) as a JSON integer.
Json Number(std::uint64_t value) {
  return value;
}

void AddFile(Json& object, std::string_view path) {
  object["file"] = Utf8Path(path);
  if (!IsValidUtf8(path)) object["file_bytes"] = Bytes(path);  // the bytes themselves
}

void AddPlace(Json& object, core::Position position) {
  object["position"] = Number(position);
  object["offset"] = Number(position - 1);
}

Json Head(std::string_view kind) {
  return Json{{"schema", kJsonSchema}, {"kind", kind}};
}

Json StopObject(const core::StopInfo& stop) {
  Json json = {{"code", StopCode(stop.ended)}, {"text", StopText(stop)}};
  if (stop.position) {
    AddPlace(json, *stop.position);
  } else {
    json["position"] = nullptr;
    json["offset"] = nullptr;
  }
  json["byte"] = stop.byte >= 0 ? Json(stop.byte) : Json(nullptr);
  return json;
}

Json PictureObject(const std::optional<std::uint64_t>& size) {
  return size ? Json{{"size", *size}} : Json(nullptr);
}

// `dumped` with every line after the first indented by `levels` more.
std::string Reindent(const std::string& dumped, std::size_t levels) {
  std::string text;
  for (const char c : dumped) {
    text.push_back(c);
    if (c == '\n') text.append(levels, ' ');
  }
  return text;
}

// A document written member by member, in the library's layout (indented by one, or on one
// line), so that its long arrays go out as they are made.
class Document {
 public:
  Document(Writer& out, const Json& head, bool oneLine) : out_(out), oneLine_(oneLine) {
    std::string text = head.dump(oneLine ? -1 : 1, ' ', true);
    text.resize(text.size() - (oneLine ? 1 : 2));  // "}" or "\n}"
    out_ << text;
  }

  void Member(std::string_view key, const Json& value) {
    Key(key);
    out_ << Dump(value, 1);
  }

  void BeginArray(std::string_view key) {
    Key(key);
    out_ << "[";
    elements_ = 0;
  }
  void Element(const Json& value) {
    NextElement();
    out_ << Dump(value, 2);
  }
  // An element that is a stream text, given in pieces.
  void BeginString() {
    NextElement();
    out_ << "\"";
  }
  void StringBytes(std::string_view bytes) {
    piece_.clear();
    AppendEscaped(piece_, bytes);
    out_ << piece_;
  }
  void EndString() { out_ << "\""; }
  // An element whose string `placeholder` is replaced by a text given in pieces (StringBytes)
  // until EndText.
  void BeginElementWithText(const Json& value, std::string_view placeholder) {
    NextElement();
    const std::string dumped = Dump(value, 2);
    const std::string mark = JsonString(placeholder);
    const std::size_t at = dumped.find(mark);
    out_ << dumped.substr(0, at) << "\"";
    suffix_ = "\"" + dumped.substr(at + mark.size());
  }
  void EndText() { out_ << suffix_; }
  void EndArray() {
    if (elements_ > 0 && !oneLine_) out_ << "\n ";
    out_ << "]";
  }

  void End() { out_ << (oneLine_ ? "}\n" : "\n}\n"); }

 private:
  void Key(std::string_view key) {
    out_ << (oneLine_ ? "," : ",\n ") << JsonString(key) << (oneLine_ ? ":" : ": ");
  }
  void NextElement() {
    if (oneLine_) {
      out_ << (elements_ > 0 ? "," : "");
    } else {
      out_ << (elements_ > 0 ? ",\n  " : "\n  ");
    }
    ++elements_;
  }
  std::string Dump(const Json& value, std::size_t level) const {
    return oneLine_ ? value.dump(-1, ' ', true) : Reindent(value.dump(1, ' ', true), level);
  }

  Writer& out_;
  bool oneLine_;
  std::size_t elements_ = 0;
  std::string piece_;
  std::string suffix_;
};

// What stands for a text streamed into an element; no text the element holds besides is it.
constexpr std::string_view kPlaceholder = "\x01text\x01";

// Writes a CR LF text given in pieces as an array of its lines.
class LinesArray {
 public:
  explicit LinesArray(Document& doc)
      : doc_(doc),
        lines_({[this] { doc_.BeginString(); },
                [this](std::string_view bytes) { doc_.StringBytes(bytes); },
                [this] { doc_.EndString(); }}) {}
  void Feed(std::string_view text) { lines_.Feed(text); }
  void Finish() { lines_.Finish(); }

 private:
  Document& doc_;
  LineSplitter lines_;
};

// The listing and block of a decode, as the arrays "listing" and "block".
class DecodeArrays final : public core::DecodeSink {
 public:
  explicit DecodeArrays(Document& doc) : doc_(doc), lines_(doc) { doc_.BeginArray("listing"); }
  bool ListingLine(const core::TextRef& line) override {
    line.Write([this](std::string_view bytes) { lines_.Feed(bytes); });
    lines_.Feed("\r\n");
    return true;
  }
  void Block(const core::TextRef& block) override {
    lines_.Finish();
    doc_.EndArray();
    doc_.BeginArray("block");
    LinesArray blockLines(doc_);
    block.Write([&](std::string_view bytes) { blockLines.Feed(bytes); });
    blockLines.Finish();
    doc_.EndArray();
  }

 private:
  Document& doc_;
  LinesArray lines_;
};

void WriteDecodeMembers(Document& doc, const DecodeRun& run, const core::DecodeResult& result) {
  doc.Member("stop", StopObject(result.stop));
  doc.Member("picture", PictureObject(result.pictureSize));
  DecodeArrays arrays(doc);
  run(arrays);
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

void WriteDecodeJson(Writer& out, const DeliverableInfo& control, const std::string& file,
                     core::Position position, bool offsets, const DecodeRun& run) {
  core::DecodeSink none;
  const core::DecodeResult result = run(none);
  Json head = Head("decode");
  head["control"] = control.name;
  AddFile(head, file);
  AddPlace(head, position);
  head["offsets"] = offsets;
  Document doc(out, head, false);
  WriteDecodeMembers(doc, run, result);
  doc.End();
}

void WriteScanRecordJson(Writer& out, const core::FoundRecord& record, const DecodeRun* run) {
  Json head = Head("scan_record");
  AddFile(head, record.file);
  AddPlace(head, record.position);
  head["name"] = Bytes(record.name);
  head["class"] = Bytes(record.className);
  head["control"] = record.control != nullptr ? Json(record.control->name) : Json(nullptr);
  Document doc(out, head, true);
  if (run != nullptr) {
    core::DecodeSink none;
    WriteDecodeMembers(doc, *run, (*run)(none));
  }
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
  out << summary.dump(-1, ' ', true) << "\n";
}

namespace {

// The explanation's values, as the array "values"; each value is written once the listing lines
// it produced are known.
class ValuesArray final : public core::ExplainSink {
 public:
  ValuesArray(Document& doc, const core::BlockLinks& links, std::uint64_t limit)
      : doc_(doc), links_(links), limit_(limit) {}

  bool Value(const core::ExplainedValue& v) override {
    Flush();
    if (limit_ != 0 && v.index >= limit_) return false;
    Json value = Json::object();
    AddPlace(value, v.position);
    value["size"] = v.size;
    value["consumed"] = v.consumed;
    value["read"] = ReadKindCode(v.kind);
    const core::TextRef text = v.Text();
    if (v.IsNumber()) {
      value["value"] = v.Number();
    } else if (v.IsText()) {
      if (text.HoldsLongText()) {
        value["value"] = std::string(kPlaceholder);
        longText_ = std::string(v.text);
      } else {
        value["value"] = Bytes(v.text);
      }
    } else {
      value["value"] = nullptr;
    }
    value["what"] = Bytes(ValueWords(v));
    value["part"] = FramePartCode(v.part);
    value["code"] = v.code ? Json{{"code", v.code->code},
                                  {"section", FramePartCode(v.code->section)},
                                  {"outcome", CodeOutcomeCode(v.code->outcome)}}
                           : Json(nullptr);
    value["listing_lines"] = Json::array();
    value["block_lines"] = links_.linked && v.index < links_.lines.size()
                               ? Json(links_.lines[v.index])
                               : Json::array();
    pending_ = std::move(value);
    decode_ = v.decode;
    return true;
  }

  bool ListingLine(const core::TextRef& line) override {
    if (pending_) (*pending_)["listing_lines"].push_back(lines_);
    ++lines_;
    // The stop line is short: the control's own words.
    lastLine_ = line.HoldsLongText() ? std::string() : line.Bytes();
    return true;
  }

  void Block(const core::TextRef& block) override {
    Flush();
    block_ = std::string(block.raw());
  }

  void Flush() {
    if (!pending_) return;
    if (longText_) {
      doc_.BeginElementWithText(*pending_, kPlaceholder);
      decode_->Text(*longText_).Write([this](std::string_view bytes) { doc_.StringBytes(bytes); });
      doc_.EndText();
    } else {
      doc_.Element(*pending_);
    }
    pending_.reset();
    longText_.reset();
  }

  const std::string& block() const { return block_; }
  const std::string& lastLine() const { return lastLine_; }

 private:
  Document& doc_;
  const core::BlockLinks& links_;
  std::uint64_t limit_;
  std::optional<Json> pending_;
  std::optional<std::string> longText_;
  const core::StreamDecode* decode_ = nullptr;
  std::size_t lines_ = 0;
  std::string lastLine_;
  std::string block_;
};

// The listing's lines as far as `most` of them (all: -1).
class ListingArray final : public core::DecodeSink {
 public:
  ListingArray(Document& doc, std::size_t most) : lines_(doc), most_(most) {}
  bool ListingLine(const core::TextRef& line) override {
    if (seen_ == most_) return false;
    ++seen_;
    line.Write([this](std::string_view bytes) { lines_.Feed(bytes); });
    lines_.Feed("\r\n");
    return true;
  }
  void Finish() { lines_.Finish(); }

 private:
  LinesArray lines_;
  std::size_t most_;
  std::size_t seen_ = 0;
};

// The block's lines, each with where it came from.
void WriteLinkedBlock(Document& doc, const core::TextRef& block, const core::BlockLinks& links) {
  std::size_t line = 0;
  LineSplitter lines({[&] {
                        Json object = {{"line", std::string(kPlaceholder)}};
                        const bool linked = links.linked && line < links.sources.size();
                        object["source"] = LineSourceCode(linked ? links.sources[line]
                                                                 : core::LineSource::kNotLinked);
                        Json from = Json::array();
                        if (linked) {
                          for (const std::size_t i : links.values[line])
                            from.push_back(links.positions[i]);
                        }
                        object["from"] = std::move(from);
                        doc.BeginElementWithText(object, kPlaceholder);
                      },
                      [&](std::string_view bytes) { doc.StringBytes(bytes); },
                      [&] {
                        doc.EndText();
                        ++line;
                      }});
  block.Write([&](std::string_view bytes) { lines.Feed(bytes); });
  lines.Finish();
}

}  // namespace

std::optional<core::StopInfo> WriteExplainJson(Writer& out, const DeliverableInfo& control,
                                               const std::string& file, Decoder& decoder,
                                               InputSource& input, core::Position position,
                                               bool offsets, std::uint64_t limit) {
  const bool cut = limit != 0 && core::MoreValuesThan(decoder, input, position, offsets, limit);
  // A cut decode has no block to link.
  const core::BlockLinks links =
      cut ? core::BlockLinks{} : core::LinkBlock(decoder, input, position, offsets);
  Json head = Head("explain");
  head["control"] = control.name;
  AddFile(head, file);
  AddPlace(head, position);
  head["file_size"] = input.Size();
  head["cut"] = cut;
  Document doc(out, head, false);

  doc.BeginArray("values");
  core::StreamDecode decode(decoder, input, position, offsets);
  ValuesArray values(doc, links, cut ? limit : 0);
  const core::Explained e = core::Explain(decode, values);
  values.Flush();
  doc.EndArray();

  doc.BeginArray("listing");
  {
    core::StreamDecode again(decoder, input, position, offsets);
    ListingArray listing(doc, e.cut ? e.listingLines : static_cast<std::size_t>(-1));
    again.Run(listing);
    listing.Finish();
  }
  doc.EndArray();
  doc.Member("listing_before_reads", e.listingBeforeReads);
  doc.BeginArray("block");
  if (!e.cut) WriteLinkedBlock(doc, decode.Text(values.block()), links);
  doc.EndArray();
  doc.Member("stop", e.cut ? Json(nullptr) : StopObject(e.decode.stop));
  doc.Member("picture", e.cut ? Json(nullptr) : PictureObject(e.decode.pictureSize));
  doc.Member("stopped", Bytes(StoppedWords(e, values.lastLine())));
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
