// The event table: what each of the decode's typed events becomes in an explanation.
#include "explanation.h"

#include <algorithm>

#include "explain_links.h"
#include "inputs.h"
#include "positions.h"
#include "text_output.h"
#include "tvx/extender.h"
#include "tvx/text.h"

namespace tvx::tool {

namespace {

class Recorder final : public DecodeObserver {
 public:
  explicit Recorder(Explanation& e) : e_(e) {}

  void OnRead(const ReadEvent& read) override {
    ExplainedRead& r = e_.reads.emplace_back();
    r.read = read;
    r.read.text = {};
    r.text = std::string(read.text);
    r.part = part_;
  }
  void OnFramePart(double position, FramePart part) override {
    part_ = part;
    e_.parts.push_back({e_.reads.size(), position, part});
  }
  void OnCode(const CodeEvent& code) override {
    if (!e_.reads.empty()) e_.reads.back().code = code;  // the code byte was read just now
  }
  void OnListingLine(std::string_view line) override {
    const std::size_t index = e_.listing.size();
    e_.listing.emplace_back(line);
    (e_.reads.empty() ? e_.listingBeforeReads : e_.reads.back().listing).push_back(index);
  }

 private:
  Explanation& e_;
  FramePart part_ = FramePart::kSectionA;
};

std::string DescribeCode(const CodeEvent& code) {
  std::string what = "code " + std::to_string(code.code);
  switch (code.outcome) {
    case CodeOutcome::kProperty:
    case CodeOutcome::kEndOfSection:
      if (const std::string_view name = ExtenderCodeName(code.code); !name.empty()) {
        what += ": " + std::string(name);
      }
      break;
    case CodeOutcome::kPassedOver:
      what += ": not known to this control, passed over";
      break;
    case CodeOutcome::kStopped:
      what += ": not known to this control";
      break;
  }
  return what;
}

std::string DescribeValue(const ExplainedRead& r) {
  std::string what(ReadKindWords(r.read.kind));
  switch (r.read.kind) {
    case ReadKind::kByte:
    case ReadKind::kWord:
    case ReadKind::kLong:
      what += " " + NumberText(r.read.number);
      break;
    case ReadKind::kZeroTerminatedText:
    case ReadKind::kText:
    case ReadKind::kUtf16LowBytes:
      what += " \"" + Printable(r.text) + "\"";
      break;
    case ReadKind::kPictureBytes:
      what += ": " + std::to_string(r.read.count) + " bytes of the picture file";
      break;
    case ReadKind::kSkipped:
    case ReadKind::kControlBlockGap:
    case ReadKind::kPictureHeader:
      break;
  }
  return what;
}

std::string Describe(const ExplainedRead& r) {
  std::string what = r.code ? DescribeCode(*r.code) : DescribeValue(r);
  if (r.read.count == 0) {
    what += " (past the end of the file)";
  } else if (r.read.count < r.read.size && r.read.kind <= ReadKind::kLong) {
    what += " (the file ends inside it; the missing bytes count as 0)";
  }
  return what;
}

// Where and why the decode stopped, in words.
std::string Stopped(const Explanation& e) {
  std::string why;
  switch (e.output.ended) {
    case DecodeEnd::kEndCode:
      why = "end code " + std::to_string(e.output.stop.code);
      break;
    case DecodeEnd::kEndOfInput:
      why = std::string(kUnexpectedEnd) + ": the next code byte would lie past the end of the file";
      break;
    case DecodeEnd::kStopLine: {
      // The stop line is the listing line the stopping code's read produced.
      const std::vector<std::size_t>& lines = e.reads.back().listing;
      why = "stop line \"" + (lines.empty() ? "" : Printable(e.listing[lines.back()])) +
            "\" for code " + std::to_string(e.output.stop.code) +
            ", which this control does not know in section B";
      break;
    }
    case DecodeEnd::kNoInput:
    case DecodeEnd::kInvalidRequest:
      why = StopText(e.output);
      break;
  }
  const std::string where = e.reads.empty()    ? "before reading anything"
                            : e.next > e.start ? "after position " + PlaceText(e.next - 1)
                                               : "without reading a byte of the file";
  return where + ": " + why;
}

}  // namespace

std::string_view ReadKindCode(ReadKind kind) {
  switch (kind) {
    case ReadKind::kByte:
      return "byte";
    case ReadKind::kWord:
      return "word";
    case ReadKind::kLong:
      return "long";
    case ReadKind::kZeroTerminatedText:
      return "zero_terminated_text";
    case ReadKind::kText:
      return "text";
    case ReadKind::kUtf16LowBytes:
      return "utf16_text";
    case ReadKind::kSkipped:
      return "skipped";
    case ReadKind::kControlBlockGap:
      return "control_block_gap";
    case ReadKind::kPictureHeader:
      return "picture_header";
    case ReadKind::kPictureBytes:
      return "picture_bytes";
  }
  return "";
}

std::string_view ReadKindWords(ReadKind kind) {
  switch (kind) {
    case ReadKind::kZeroTerminatedText:
      return "zero-terminated text";
    case ReadKind::kUtf16LowBytes:
      return "UTF-16 text";
    case ReadKind::kControlBlockGap:
      return "control block gap";
    case ReadKind::kPictureHeader:
      return "picture header";
    case ReadKind::kPictureBytes:
      return "picture bytes";
    default:
      return ReadKindCode(kind);
  }
}

Explanation Explain(Decoder& decoder, const Request& request, ReadOnlyFiles& files) {
  Explanation e;
  e.start = e.next = request.start;
  Recorder recorder(e);
  e.output = RunDecode(decoder, request, files, &recorder);
  InputSource* file = files.input();
  e.fileSize = file != nullptr ? file->Size() : 0;
  for (ExplainedRead& r : e.reads) {
    r.what = Describe(r);
    if (r.read.count > 0) e.next = std::max(e.next, r.End());
  }
  for (const std::string_view line : CrLfLines(e.output.block))
    e.block.emplace_back(line);
  e.lineSources.assign(e.block.size(), LineSource::kNotLinked);
  e.sources.assign(e.block.size(), {});
  e.stopped = Stopped(e);
  if (file != nullptr) LinkBlockLines(e, decoder, request, *file);
  return e;
}

}  // namespace tvx::tool
