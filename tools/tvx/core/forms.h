// The forms of a compiled program. A program keeps each form as one image:
//
//     a long s (little-endian, the bytes after it), a long, 00, word n, the form's name (n bytes),
//     00, the kind byte
//
// then what the form holds, its control records among it (record_finder.h). The kind byte is
// 0x0D for a form and 0x14 for an MDI form; those are the kinds looked for. The name is a letter
// or a byte above 0x7F, then letters, digits, underscores and bytes above 0x7F, at most 255 of
// them. An image of s below what its own header holds after the long is no image.
//
// A record lies in an image when its bytes up to its stream lie between the image's header and
// its end. Images of real programs follow one another: an image that overlaps another, or runs
// past the end of the input, gives none of its records a form, nor does the other.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvx::core {

inline constexpr std::uint8_t kFormKind = 0x0D;
inline constexpr std::uint8_t kMdiFormKind = 0x14;

struct FormImage {
  std::string name;          // the bytes of the name as the header holds them
  std::uint8_t kind = 0;     // the kind byte
  std::uint64_t offset = 0;  // the offset of the image's first byte: its size long
  std::uint64_t size = 0;    // the image's bytes: 4 (the size long) and the long's value
  std::uint64_t end() const { return offset + size; }
  bool operator==(const FormImage&) const = default;
};

// "form", "MDI form", or "" for a kind byte of neither.
std::string_view FormKindName(std::uint8_t kind);

// Why an image gives no form.
enum class FormTrouble : std::uint8_t {
  kNone,
  kOverlaps,  // it overlaps another image
  kPastEnd,   // its size runs past the end of the input
  kHeldLong,  // more records waited on it than a scan holds (FormPlacer::kMaxHeld)
};
std::string_view FormTroubleWords(FormTrouble trouble);

// A header the record finder confirmed.
struct FormHeader {
  FormImage image;
  std::uint64_t headerEnd = 0;  // the offset after its kind byte
  std::uint64_t pair = 0;       // the offset of the 00 before the kind byte
};

// The second bytes of the pairs the record finder looks for: FF for the records, and the kind
// bytes of the forms (a slot not needed repeats another).
using PairSeconds = std::array<std::uint8_t, 3>;
inline constexpr PairSeconds kRecordPairs = {0xFF, 0xFF, 0xFF};
inline constexpr PairSeconds kFormPairs = {0xFF, kFormKind, kMdiFormKind};

// The bytes a header can hold before its pair (the two longs, the 00, the word, the name).
inline constexpr std::size_t kFormHeaderBefore = 4 + 4 + 1 + 2 + 255;

// The header whose 00 and kind byte stand at `pair` of `bytes` (the input from offset `base`),
// if the bytes before it confirm one.
bool ConfirmForm(const std::uint8_t* bytes, std::size_t pair, std::uint64_t base,
                 FormHeader* header);

// Places the items (records) of one input in the images found, as they come in order of their
// pairs, and hands them on in the same order, each once its image's fate is known: no later
// header can overlap the image, or the input ended. Each image is handed on before its items.
// What it holds waiting is bounded (kMaxHeld), whatever the input.
template <typename T>
class FormPlacer {
 public:
  static constexpr std::size_t kMaxHeld = 4096;
  using ItemOut = std::function<void(T&&, const FormImage*)>;
  using ImageOut = std::function<void(const FormImage&, FormTrouble)>;

  FormPlacer(ItemOut item, ImageOut image)
      : itemOut_(std::move(item)), imageOut_(std::move(image)) {}

  void Image(const FormHeader& header) {
    Passed(header.pair);
    auto state = std::make_shared<State>(State{header.image, header.headerEnd});
    if (header.image.offset < maxEnd_) {
      // It overlaps a header before it (every one ends after its own pair), and so each of those
      // that ends after its start.
      state->trouble = FormTrouble::kOverlaps;
      for (const std::shared_ptr<State>& open : open_) {
        if (open->image.end() > header.image.offset) open->trouble = FormTrouble::kOverlaps;
      }
      Forget();
    }
    maxEnd_ = std::max(maxEnd_, header.image.end());
    if (state->trouble == FormTrouble::kNone) open_.push_back(state);
    waiting_.push_back({state, true, std::nullopt});
    Release();
  }

  // An item whose bytes from `start` to `streamAt` hold its header; `pair` its pair's offset.
  void Item(T item, std::uint64_t start, std::uint64_t streamAt, std::uint64_t pair) {
    Passed(pair);
    std::shared_ptr<State> in;
    for (const std::shared_ptr<State>& open : open_) {
      if (start >= open->headerEnd && streamAt <= open->image.end()) in = open;
    }
    if (!in && Empty()) {
      itemOut_(std::move(item), nullptr);  // in no image, and nothing before it waits
      return;
    }
    waiting_.push_back({in, false, std::move(item)});
    Release();
  }

  // Every pair before `offset` has been looked at.
  void Passed(std::uint64_t offset) {
    if (open_.empty() && Empty()) return;
    for (const std::shared_ptr<State>& open : open_) {
      if (offset >= open->image.end() + kFormHeaderBefore) open->settled = true;
    }
    Forget();
    Release();
  }

  // The input ended after `size` bytes.
  void Finish(std::uint64_t size) {
    for (const std::shared_ptr<State>& open : open_) {
      if (open->image.end() > size) open->trouble = FormTrouble::kPastEnd;
      open->settled = true;
    }
    open_.clear();
    Release();
  }

  // Starts on a new input.
  void Restart() {
    open_.clear();
    waiting_.clear();
    first_ = 0;
    maxEnd_ = 0;
  }

 private:
  struct State {
    FormImage image;
    std::uint64_t headerEnd = 0;
    FormTrouble trouble = FormTrouble::kNone;
    bool settled = false;
    bool Known() const { return settled || trouble != FormTrouble::kNone; }
  };
  struct Waiting {
    std::shared_ptr<State> image;  // an image's own entry, or the image an item lies in
    bool isImage = false;
    std::optional<T> item;
  };

  bool Empty() const { return first_ == waiting_.size(); }

  // Drops the first entry; the vector holds no more than kMaxHeld before the first.
  void Pop() {
    if (++first_ == waiting_.size()) {
      waiting_.clear();
      first_ = 0;
    } else if (first_ >= kMaxHeld) {
      waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(first_));
      first_ = 0;
    }
  }

  // Takes the images whose fate is known out of those open.
  void Forget() {
    std::erase_if(open_, [](const std::shared_ptr<State>& s) { return s->Known(); });
  }

  void Release() {
    while (waiting_.size() - first_ > kMaxHeld) {
      // The first entry waits on an open image: it gives no form.
      waiting_[first_].image->trouble = FormTrouble::kHeldLong;
      Forget();
      HandOn();
    }
    HandOn();
  }

  void HandOn() {
    while (!Empty() && (!waiting_[first_].image || waiting_[first_].image->Known())) {
      Waiting w = std::move(waiting_[first_]);
      Pop();
      const State* s = w.image.get();
      if (w.isImage) {
        imageOut_(s->image, s->trouble);
      } else {
        itemOut_(std::move(*w.item),
                 s != nullptr && s->trouble == FormTrouble::kNone ? &s->image : nullptr);
      }
    }
  }

  ItemOut itemOut_;
  ImageOut imageOut_;
  std::vector<std::shared_ptr<State>> open_;  // images of no known fate, disjoint
  // The entries waiting, from first_ on (a vector allocates nothing until an entry waits).
  std::vector<Waiting> waiting_;
  std::size_t first_ = 0;
  std::uint64_t maxEnd_ = 0;  // the furthest end of the images so far
};

}  // namespace tvx::core
