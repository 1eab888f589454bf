#include "decode.h"

#include <algorithm>

#include "tvx/decode_run.h"

namespace tvx::core {

namespace {

// The program file the decode reads, whatever path the request names.
class OneInput final : public FileSystem {
 public:
  explicit OneInput(InputSource& input) : input_(input) {}
  InputSource* OpenInput(const std::string&) override { return &input_; }
  bool WriteOutput(std::string_view, std::string_view) override { return false; }

 private:
  InputSource& input_;
};

// Hands each listing line to the sink as it is written, and every event to the observer.
class Relay final : public DecodeObserver {
 public:
  Relay(const StreamDecode& decode, DecodeSink& sink, DecodeObserver* observer)
      : decode_(decode), sink_(sink), observer_(observer) {}

  void OnRead(const ReadEvent& read) override {
    if (observer_ != nullptr) observer_->OnRead(read);
  }
  void OnFramePart(double position, FramePart part) override {
    if (observer_ != nullptr) observer_->OnFramePart(position, part);
  }
  void OnCode(const CodeEvent& code) override {
    if (observer_ != nullptr) observer_->OnCode(code);
  }
  void OnInputEnded(double position, FramePart section) override {
    if (observer_ != nullptr) observer_->OnInputEnded(position, section);
  }
  void OnListingLine(std::string_view line) override {
    if (observer_ != nullptr) observer_->OnListingLine(line);
    if (!sink_.ListingLine(decode_.Text(line))) throw StreamDecode::Stop{};
  }

 private:
  const StreamDecode& decode_;
  DecodeSink& sink_;
  DecodeObserver* observer_;
};

}  // namespace

void TextRef::Write(const std::function<void(std::string_view)>& write) const {
  if (texts_ == nullptr || input_ == nullptr) {
    if (!text_.empty()) write(text_);
    return;
  }
  texts_->Expand(text_, *input_, write);
}

std::string TextRef::Bytes() const {
  std::string bytes;
  Write([&bytes](std::string_view piece) { bytes.append(piece); });
  return bytes;
}

std::string TextRef::Head(std::size_t n) const {
  if (texts_ != nullptr && input_ != nullptr) {
    if (const LongTexts::Entry* entry = texts_->Find(text_)) {
      LongTexts::Entry head = *entry;
      head.length = std::min<std::uint64_t>(head.length, n);
      LongTexts one;
      const std::string standIn = one.Add(head);
      std::string bytes;
      one.Expand(standIn, *input_, [&bytes](std::string_view piece) { bytes.append(piece); });
      return bytes;
    }
  }
  return std::string(text_.substr(0, n));
}

std::uint64_t TextRef::Size() const {
  if (texts_ != nullptr) {
    if (const LongTexts::Entry* entry = texts_->Find(text_)) return entry->length;
  }
  return text_.size();
}

StreamDecode::StreamDecode(Decoder& decoder, InputSource& input, Position start, bool offsets,
                           std::size_t longText)
    : decoder_(decoder), input_(input), start_(start), offsets_(offsets), texts_(longText) {}

DecodeResult StreamDecode::Run(DecodeSink& sink, DecodeObserver* observer, bool* stopped) {
  texts_.Clear();
  if (stopped != nullptr) *stopped = false;
  OneInput files(input_);
  Relay relay(*this, sink, observer);
  DecodeOptions options;
  options.observer = &relay;
  options.keepListing = false;
  options.longTexts = &texts_;
  DecodeResult result;
  DecodeOutput out;
  try {
    out = RunDecode(decoder_, MakeRequest("program", start_, offsets_), files, options);
  } catch (const Stop&) {
    if (stopped != nullptr) *stopped = true;
    return result;
  }
  result.stop.ended = out.ended;
  if (out.ended == DecodeEnd::kEndCode || out.ended == DecodeEnd::kEndOfInput ||
      out.ended == DecodeEnd::kStopLine) {
    result.stop.position = PositionOf(out.stop.position);
  }
  result.stop.byte = out.stop.code;
  sink.Block(Text(out.block));
  if (out.picture) {
    const TextRef picture = Text(*out.picture);
    result.pictureSize = picture.Size();
    sink.Picture(picture);
  }
  return result;
}

DecodeOutput RunOn(Decoder& decoder, InputSource& input, Position start, bool offsets,
                   const DecodeOptions& options) {
  OneInput files(input);
  return RunDecode(decoder, MakeRequest("program", start, offsets), files, options);
}

DecodedText DecodeWhole(Decoder& decoder, InputSource& input, Position start, bool offsets) {
  struct Whole final : DecodeSink {
    bool ListingLine(const TextRef& line) override {
      line.Write([this](std::string_view piece) { text.listing.append(piece); });
      text.listing.append(kLineEnd);
      return true;
    }
    void Block(const TextRef& block) override { text.block = block.Bytes(); }
    void Picture(const TextRef& bytes) override { text.picture = bytes.Bytes(); }
    DecodedText text;
  } whole;
  StreamDecode decode(decoder, input, start, offsets);
  whole.text.stop = decode.Run(whole).stop;
  return std::move(whole.text);
}

}  // namespace tvx::core
