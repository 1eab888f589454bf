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
  void OnCode(const CodeEvent& code) override {
    if (code.section != FramePart::kSectionA) return;
    if (code.outcome == CodeOutcome::kEndOfSection) {
      read.sectionEnded = true;
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
    if (part != FramePart::kSectionA) throw StreamDecode::Stop{};
  }

  IndexRead read;

 private:
  bool wantWord_ = false;
};

}  // namespace

IndexRead ReadIndex(Decoder& decoder, InputSource& input, Position start) {
  struct Nothing final : DecodeSink {
  } nothing;
  IndexObserver observer;
  StreamDecode decode(decoder, input, start, false);
  decode.Run(nothing, &observer);
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
