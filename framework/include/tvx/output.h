// The two text outputs of a decode run: the listing and the property block. Both are built in
// memory, line by line, every line ended with CR LF, and written to their files by the run.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "tvx/decode_events.h"

namespace tvx {

inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr std::string_view kListingFileName = "TEVOLIBFILE.TMP";
inline constexpr std::string_view kBlockFileName = "TEVOLIBFILE2.TMP";
inline constexpr std::string_view kPictureFileName = "TEVOGRAPHICFILE1.TMP";
inline constexpr std::string_view kLibraryVersionLine = "LibraryVersion3.0";
// Room for a typical listing or block, so that building one rarely reallocates.
inline constexpr std::size_t kInitialCapacity = 2048;

// A line is given as pieces (texts, numbers as ShortText), appended in place one after the other.
class Listing {
 public:
  Listing() { text_.reserve(kInitialCapacity); }
  template <typename... Pieces>
  void Line(const Pieces&... pieces) {
    const std::size_t start = text_.size();
    (text_.append(std::string_view(pieces)), ...);
    EndLine(start);
  }
  const std::string& Text() const { return text_; }
  std::string TakeText() { return std::move(text_); }
  // Told of every line. Unless `keep`, a line is forgotten once told: a listing shown as it is
  // made holds no more than its last line.
  void SetObserver(DecodeObserver* observer, bool keep = true) {
    observer_ = observer;
    keep_ = keep;
  }

 private:
  void EndLine(std::size_t start);

  std::string text_;
  DecodeObserver* observer_ = nullptr;
  bool keep_ = true;
};

// Writes form-source property lines: the label padded with blanks to the deliverable's width,
// then "= ", then the value.
class BlockWriter {
 public:
  explicit BlockWriter(std::size_t labelWidth) : width_(labelWidth) {
    text_.reserve(kInitialCapacity);
  }

  template <typename... Pieces>
  void Raw(const Pieces&... pieces) {
    (text_.append(std::string_view(pieces)), ...);
    text_.append(kLineEnd);
  }
  void VersionLine() { Raw(kLibraryVersionLine); }
  void Number(std::string_view name, double value);
  void Text(std::string_view name, std::string_view value);
  void Quoted(std::string_view name, std::string_view value);

  // Optional lines: left out when the value is the absent marker (-1, or the empty text).
  void NumberIfSet(std::string_view name, double value);
  void TextIfSet(std::string_view name, std::string_view value);
  void QuotedIfSet(std::string_view name, std::string_view value);

  const std::string& Text() const { return text_; }
  std::string TakeText() { return std::move(text_); }

 private:
  void AppendLabel(std::string_view name);

  std::size_t width_;
  std::string text_;
};

}  // namespace tvx
