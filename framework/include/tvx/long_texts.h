// Texts that a tool leaves in the file instead of copying them.
//
// A stream may claim a text or a picture as long as the file around it. The plug-ins copy it,
// since the host wants their files whole; a tool that shows a decode as it is made need not hold
// it. With a LongTexts attached to the reader, a text or picture of more than `threshold` bytes
// is not copied: the reader notes where its bytes lie and hands the decoder a short stand-in,
// which the decoder stores and writes like any other text. The listing, the block and the
// picture then hold stand-ins, and Expand gives their bytes back, read from the file a piece at a
// time, exactly as the copied text would have been written (in a quoted block value, with its
// quotes doubled).
//
// A stand-in is a control byte, the table's random key (letters and digits) and the entry's
// number: a stream text cannot forge one without guessing the key. The plug-ins never attach a
// table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tvx/reader.h"

namespace tvx {

class LongTexts {
 public:
  static constexpr std::size_t kDefaultThreshold = 16384;

  // A text's characters: `length` of them, every `stride`-th file byte from `offset` on.
  struct Entry {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::uint8_t stride = 1;
  };

  explicit LongTexts(std::size_t threshold = kDefaultThreshold);

  std::size_t threshold() const { return threshold_; }
  // Notes a text left in the file; returns its stand-in.
  std::string Add(const Entry& entry);
  // The entry of `text` when it is exactly a stand-in (plain or quoted), or nothing.
  const Entry* Find(std::string_view text, bool* quoted = nullptr) const;
  // The stand-in of the same text as a quoted block value (its quotes doubled when expanded).
  std::string QuotedStandIn(std::string_view standIn) const;
  // True when `text` holds a stand-in anywhere.
  bool Holds(std::string_view text) const;
  // Hands the bytes of `text` to `write` in order and in pieces, each stand-in replaced by its
  // text read from `input`.
  void Expand(std::string_view text, InputSource& input,
              const std::function<void(std::string_view)>& write) const;
  // While a Scope lives, the decodes of its thread leave their long texts in `texts`: a quoted
  // value (AppendQuoted) that is one of its stand-ins stays a stand-in, marked to have its quotes
  // doubled when expanded.
  class Scope {
   public:
    explicit Scope(const LongTexts* texts);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    const LongTexts* before_;
  };
  // The table of the decode running on this thread, or nothing (always, in the plug-ins).
  static const LongTexts* Active();

  // Forgets every entry: the stand-ins handed out so far no longer expand.
  void Clear() { entries_.clear(); }
  std::size_t size() const { return entries_.size(); }

 private:
  static constexpr std::size_t kKey = 12;
  static constexpr std::size_t kStandIn = 1 + kKey + 1 + 8;  // mark, key, kind, number in hex

  // Where the stand-in starting at text[at] ends, its entry and kind; 0 when none starts there.
  std::size_t StandInAt(std::string_view text, std::size_t at, const Entry** entry,
                        bool* quoted) const;
  void ExpandEntry(const Entry& entry, bool quoted, InputSource& input,
                   const std::function<void(std::string_view)>& write) const;

  std::size_t threshold_;
  std::array<char, kKey> key_{};
  std::vector<Entry> entries_;
};

}  // namespace tvx
