#include "explanation.h"

#include <algorithm>

#include "tvx/text.h"

namespace tvx::core {

namespace {

// Turns the decode's events into values: a read is handed on once the event after it has come,
// since a code byte's read is followed by what the code did.
class Recorder final : public DecodeObserver {
 public:
  Recorder(const StreamDecode& decode, ExplainSink& sink, Explained& e)
      : decode_(decode), sink_(sink), e_(e) {}

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
    const ExplainedValue v = *pending_;
    pending_.reset();
    if (!sink_.Value(v)) throw StreamDecode::Stop{};
    ++e_.values;
    if (v.consumed > 0) e_.next = std::max(e_.next, v.End());
  }

 private:
  const StreamDecode& decode_;
  ExplainSink& sink_;
  Explained& e_;
  FramePart part_ = FramePart::kSectionA;
  std::optional<ExplainedValue> pending_;
  std::string text_;
};

// Hands the block and picture on after the last value.
class Finisher final : public DecodeSink {
 public:
  Finisher(ExplainSink& sink, Recorder& recorder) : sink_(sink), recorder_(recorder) {}
  bool ListingLine(const TextRef& line) override { return sink_.ListingLine(line); }
  void Block(const TextRef& block) override {
    recorder_.Flush();
    sink_.Block(block);
  }
  void Picture(const TextRef& bytes) override { sink_.Picture(bytes); }

 private:
  ExplainSink& sink_;
  Recorder& recorder_;
};

}  // namespace

std::int64_t ExplainedValue::Number() const {
  if (!isSigned) return bits;
  return kind == ReadKind::kWord ? Signed16(static_cast<std::uint16_t>(bits)) : Signed32(bits);
}

Explained Explain(StreamDecode& decode, ExplainSink& sink) {
  Explained e;
  e.start = e.next = decode.start();
  Recorder recorder(decode, sink, e);
  Finisher finisher(sink, recorder);
  bool stopped = false;
  try {
    e.decode = decode.Run(finisher, &recorder, &stopped);
  } catch (const StreamDecode::Stop&) {
    stopped = true;  // thrown by the last value's Flush, after the decode
  }
  e.cut = stopped;
  e.fileSize = decode.input().Size();
  return e;
}

namespace {

class ValueCount final : public ExplainSink {
 public:
  explicit ValueCount(std::uint64_t limit) : limit_(limit) {}
  bool Value(const ExplainedValue& v) override { return v.index < limit_; }

 private:
  std::uint64_t limit_;
};

}  // namespace

bool MoreValuesThan(Decoder& decoder, InputSource& input, Position position, bool offsets,
                    std::uint64_t limit) {
  StreamDecode counting(decoder, input, position, offsets);
  ValueCount count(limit);
  return Explain(counting, count).cut;
}

}  // namespace tvx::core
