// A control's property stream decoded in this process exactly as its plug-in decodes a request,
// with what the decode writes handed on as it is made: each listing line as the decoder writes
// it, then the property block, then the picture. Texts and pictures longer than a few KiB are
// left in the file (tvx/long_texts.h) and read again only as they are handed on, so a decode
// holds a few hundred KiB whatever the file and wherever the stream is said to start.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "places.h"
#include "tvx/decode_events.h"
#include "tvx/decode_run.h"
#include "tvx/decoder.h"
#include "tvx/long_texts.h"
#include "tvx/reader.h"

namespace tvx::core {

// Bytes of a decode's output that may hold long texts left in the file: handed out expanded.
class TextRef {
 public:
  TextRef(std::string_view text, const LongTexts* texts, InputSource* input)
      : text_(text), texts_(texts), input_(input) {}

  // The bytes in order, in pieces, each long text read from the file.
  void Write(const std::function<void(std::string_view)>& write) const;
  // The bytes whole: only for what is known to be short, or wanted whole.
  std::string Bytes() const;
  // The first `n` bytes (fewer when there are fewer), read no further than needed.
  std::string Head(std::size_t n) const;
  // The size of the bytes, when the text is one long text or none.
  std::uint64_t Size() const;
  // True when a long text stands in it.
  bool HoldsLongText() const { return texts_ != nullptr && texts_->Holds(text_); }
  // The bytes as the decode holds them, long texts as their stand-ins: to keep and expand later
  // through the same decode (StreamDecode::Text, or Of).
  std::string_view raw() const { return text_; }
  // Other bytes held by the same decode, expanded as this one is.
  TextRef Of(std::string_view held) const { return {held, texts_, input_}; }

 private:
  std::string_view text_;
  const LongTexts* texts_;
  InputSource* input_;
};

// How a decode ended and where.
struct StopInfo {
  DecodeEnd ended = DecodeEnd::kEndCode;
  // The code byte that ended or stopped the decode, or, when the file ended, where the next code
  // byte would have been; none when no code was reached.
  std::optional<Position> position;
  int byte = -1;  // the code byte read there; -1 when none was
};

struct DecodeResult {
  StopInfo stop;
  std::optional<std::uint64_t> pictureSize;  // the picture file's size, when the stream holds one
};

// What a decode writes, as it is made. A sink returns false to stop the decode there.
class DecodeSink {
 public:
  virtual ~DecodeSink() = default;
  // A listing line as the decoder writes it, without its CR LF (it may hold a CR or LF of a
  // stream text).
  virtual bool ListingLine(const TextRef& /*line*/) { return true; }
  // The property block: CR LF lines.
  virtual void Block(const TextRef& /*block*/) {}
  // The picture file's bytes, when the stream holds a picture.
  virtual void Picture(const TextRef& /*bytes*/) {}
};

// A decoder run on a program file from a start position.
class StreamDecode {
 public:
  // Texts and pictures of more than `longText` bytes are left in the file.
  StreamDecode(Decoder& decoder, InputSource& input, Position start, bool offsets,
               std::size_t longText = LongTexts::kDefaultThreshold);

  // Decodes, handing what is written to `sink`; the observer, where given, is told of every
  // read, frame part and code (its texts may hold long texts: texts() expands them).
  // `stopped` is set when a sink or the observer stopped the decode (by throwing Stop).
  DecodeResult Run(DecodeSink& sink, DecodeObserver* observer = nullptr, bool* stopped = nullptr);

  // What an observer throws to stop the decode where it is.
  struct Stop {};

  // A text of the last run (a value read, a listing line) with its long texts.
  TextRef Text(std::string_view text) const { return {text, &texts_, &input_}; }
  const LongTexts& texts() const { return texts_; }
  InputSource& input() const { return input_; }
  Position start() const { return start_; }

 private:
  Decoder& decoder_;
  InputSource& input_;
  Position start_;
  bool offsets_;
  LongTexts texts_;
};

// One request for the stream at `start` of `input`, run as the plug-in runs it (tvx/decode_run.h).
DecodeOutput RunOn(Decoder& decoder, InputSource& input, Position start, bool offsets,
                   const DecodeOptions& options);

// The whole output of a decode in memory, for callers that want it so (tests, the report, the
// Python module) and for streams known to be small.
struct DecodedText {
  std::string listing;  // the listing file's bytes
  std::string block;
  std::optional<std::string> picture;
  StopInfo stop;
};
DecodedText DecodeWhole(Decoder& decoder, InputSource& input, Position start, bool offsets);

}  // namespace tvx::core
