#include "control_index.h"

#include <algorithm>
#include <cstring>

#include "decode.h"
#include "tvx/extender.h"

namespace tvx::core {

namespace {

// Notes the word read after code 1 in section A, and stops the decode at the section's end.
class IndexObserver final : public DecodeObserver {
 public:
  explicit IndexObserver(bool stop) : stop_(stop) {}

  void OnCode(const CodeEvent& code) override {
    if (code.section != FramePart::kSectionA) return;
    if (code.outcome == CodeOutcome::kEndOfSection) {
      read.sectionEnded = true;
      if (stop_) throw StreamDecode::Stop{};
    }
    if (code.outcome == CodeOutcome::kPassedOver && ++passedOver_ > kMaxPassedOver) {
      read.gaveUp = true;
      read.index.reset();
      throw StreamDecode::Stop{};
    }
    wantWord_ = code.outcome == CodeOutcome::kProperty &&
                code.code == static_cast<int>(ExtenderCode::kIndex);
  }
  void OnRead(const ReadEvent& event) override {
    if (wantWord_ && event.kind == ReadKind::kWord) read.index = std::int64_t{event.number};
    wantWord_ = false;
  }
  void OnFramePart(double, FramePart part) override {
    if (part != FramePart::kSectionA && stop_) throw StreamDecode::Stop{};
  }

  IndexRead read;

 private:
  bool stop_;
  bool wantWord_ = false;
  int passedOver_ = 0;
};

}  // namespace

IndexRead ReadIndex(Decoder& decoder, InputSource& input, Position start, bool stop) {
  IndexObserver observer(stop);
  if (stop) {
    // The run as every decode makes it, long texts left in the file.
    struct Nothing final : DecodeSink {
    } nothing;
    StreamDecode decode(decoder, input, start, false);
    decode.Run(nothing, &observer);
    return observer.read;
  }
  // A short input read to its end as RunDecode reads it, without the block (nor the listing) it
  // would write after.
  decoder.Reset();
  StreamReader reader(input, static_cast<double>(start));
  reader.SetObserver(&observer);
  DecodeContext ctx(reader, false);
  ctx.Out().SetObserver(&observer, false);
  try {
    decoder.ReadStream(ctx);
  } catch (const StreamDecode::Stop&) {
  }
  return observer.read;
}

std::size_t WindowInput::ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) {
  if (offset < origin_ || offset - origin_ >= bytes_.size()) return 0;
  const auto at = static_cast<std::size_t>(offset - origin_);
  const std::size_t n = std::min(size, bytes_.size() - at);
  std::memcpy(into, bytes_.data() + at, n);
  return n;
}

}  // namespace tvx::core
