#include "explanation.h"

#include <algorithm>

#include "tvx/text.h"

namespace tvx::core {

namespace {

// Turns the decode's events into values: a read is handed on once the event after it has come,
// since a code byte's read is followed by what the code did.
class Recorder final : public DecodeObserver {
 public:
  Recorder(const StreamDecode& decode, ExplainSink& sink, Explained& e, BlockLinker* linker,
           std::uint64_t limit)
      : decode_(decode), sink_(sink), e_(e), linker_(linker), limit_(limit) {}

  void OnRead(const ReadEvent& read) override {
    Flush();
    pending_ = ExplainedValue{};
    ExplainedValue& v = *pending_;
    v.index = e_.values;
    v.kind = read.kind;
    v.position = PositionOf(read.position);
    v.size = read.size;
    v.consumed = read.count;
    v.bits = read.number;
    v.isSigned = read.isSigned;
    text_.assign(read.text);  // the reader's text does not outlive the event
    v.text = text_;
    v.part = part_;
    v.decode = &decode_;
  }
  void OnFramePart(double position, FramePart part) override {
    Flush();
    part_ = part;
    if (!sink_.Part(part, PositionOf(position))) throw StreamDecode::Stop{};
  }
  void OnCode(const CodeEvent& code) override {
    if (pending_) pending_->code = ExplainedCode{code.code, code.section, code.outcome};
    Flush();
  }
  void OnInputEnded(double, FramePart) override { Flush(); }
  void OnListingLine(std::string_view) override {
    Flush();
    if (e_.values == 0) e_.listingBeforeReads.push_back(e_.listingLines);
    ++e_.listingLines;
  }
  // The last read, at the end of the decode.
  void Flush() {
    if (!pending_) return;
    ExplainedValue v = std::move(*pending_);
    pending_.reset();
    if (limit_ != 0 && v.index >= limit_) throw StreamDecode::Stop{};
    if (linker_ != nullptr) v.blockLines = linker_->Feed(v.position, v.size);
    if (!sink_.Value(v)) throw StreamDecode::Stop{};
    ++e_.values;
    if (v.consumed > 0) e_.next = std::max(e_.next, v.End());
  }

 private:
  const StreamDecode& decode_;
  ExplainSink& sink_;
  Explained& e_;
  BlockLinker* linker_;
  std::uint64_t limit_;
  FramePart part_ = FramePart::kSectionA;
  std::optional<ExplainedValue> pending_;
  std::string text_;
};

// Hands each listing line on after the values before it, and keeps it.
class Lines final : public DecodeSink {
 public:
  Lines(ExplainSink& sink, Recorder& recorder, Explanation& x)
      : sink_(sink), recorder_(recorder), x_(x) {}
  bool ListingLine(const TextRef& line) override {
    if (!sink_.ListingLine(line)) return false;
    x_.listing.Append(line.raw());
    x_.listing.Append(kLineEnd);
    // The stop line is short: the control's own words.
    x_.lastLine = line.HoldsLongText() ? std::string() : std::string(line.raw());
    return true;
  }
  void Block(const TextRef&) override { recorder_.Flush(); }

 private:
  ExplainSink& sink_;
  Recorder& recorder_;
  Explanation& x_;
};

// Takes every value: the limit stops the decode.
class ValueCount final : public ExplainSink {};

}  // namespace

std::int64_t ExplainedValue::Number() const {
  if (!isSigned) return bits;
  return kind == ReadKind::kWord ? Signed16(static_cast<std::uint16_t>(bits)) : Signed32(bits);
}

namespace {

// The explaining decode: the values, and the listing lines after them.
void Walk(Explanation& x, ExplainSink& sink, BlockLinker* linker, std::uint64_t limit) {
  Explained& e = x.e;
  e.start = e.next = x.decode->start();
  Recorder recorder(*x.decode, sink, e, linker, limit);
  Lines lines(sink, recorder, x);
  bool stopped = false;
  try {
    e.decode = x.decode->Run(lines, &recorder, &stopped);
  } catch (const StreamDecode::Stop&) {
    stopped = true;  // thrown by the last value's Flush, after the decode
  }
  e.cut = stopped;
  e.fileSize = x.decode->input().Size();
}

}  // namespace

Explanation Explain(Decoder& decoder, InputSource& input, Position position, bool offsets,
                    std::uint64_t limit, ExplainSink& sink) {
  Explanation x;
  const bool cut = limit != 0 && MoreValuesThan(decoder, input, position, offsets, limit);
  // The record first, so that each value can be told the lines it feeds as it is handed on.
  std::optional<BlockLinker> linker;
  if (!cut) {
    x.record = Decode(decoder, input, position, offsets, false);
    linker.emplace(*x.record);
  }
  x.decode = std::make_unique<StreamDecode>(decoder, input, position, offsets);
  sink.Start(cut);
  Walk(x, sink, linker ? &*linker : nullptr, cut ? limit : 0);
  if (x.e.cut) {
    x.record.reset();
  } else if (linker) {
    x.links = linker->Links();
  }
  return x;
}

bool MoreValuesThan(Decoder& decoder, InputSource& input, Position position, bool offsets,
                    std::uint64_t limit) {
  Explanation x;
  x.decode = std::make_unique<StreamDecode>(decoder, input, position, offsets);
  ValueCount count;
  Walk(x, count, nullptr, limit);
  return x.e.cut;
}

}  // namespace tvx::core
