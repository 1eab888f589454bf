// What a decoder offers the framework, and the state one decode hands it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tvx/output.h"
#include "tvx/reader.h"

namespace tvx {

struct DeliverableInfo {
  std::string_view name;       // program name without extension, "PERSONA.Persona"
  std::string_view classWord;  // control class, "Agent"
  std::string_view caption;    // window caption
  std::size_t labelWidth;      // property-block label width
};

// Everything ParseControl works on: the input positioned at the request's start, the listing,
// the offset bookkeeping and the picture file's contents.
class DecodeContext {
 public:
  DecodeContext(StreamReader& reader, bool showOffsets)
      : reader_(reader), showOffsets_(showOffsets), PropertyOffset(reader.Position()) {}

  StreamReader& In() { return reader_; }
  double GetByte() { return reader_.GetByte(); }
  double GetWord() { return reader_.GetWord(); }
  double GetLong() { return reader_.GetLong(); }
  std::string GetDosString() { return reader_.GetDosString(); }
  std::string GetDOSStringWLen(double n) { return reader_.GetDOSStringWLen(n); }
  std::string GetUnicodeStringWLen(double n) { return reader_.GetUnicodeStringWLen(n); }
  void Skip(double n, std::string_view why = "skipped") { reader_.Skip(n, why); }

  Listing& Out() { return listing_; }
  template <typename... Pieces>
  void Line(const Pieces&... pieces) {
    listing_.Line(pieces...);
  }
  // Notes the position of the value about to be read.
  void MarkOffset() { PropertyOffset = reader_.Position(); }
  // Writes the offset line for PropertyOffset when offsets were requested.
  void ShowOffset();
  // Writes a listing line, then its offset line.
  template <typename... Pieces>
  void LineWithOffset(const Pieces&... pieces) {
    listing_.Line(pieces...);
    ShowOffset();
  }

  // Reads a picture record at the current position into the picture file's contents and
  // returns the picture file's bare name. Sets PropertyOffset to the record's position.
  std::string ReadPicture();
  const std::optional<std::string>& Picture() const { return picture_; }
  std::optional<std::string> TakePicture() { return std::move(picture_); }

  bool ShowOffsets() const { return showOffsets_; }

 private:
  StreamReader& reader_;
  bool showOffsets_;
  Listing listing_;
  std::optional<std::string> picture_;

 public:
  double PropertyOffset;
};

class Decoder {
 public:
  virtual ~Decoder() = default;
  virtual const DeliverableInfo& Info() const = 0;
  // Sets every property variable to its new-process value.
  virtual void InitProperties() = 0;
  // Reads the stream from the current position, storing values and writing the listing.
  virtual void ParseControl(DecodeContext& ctx) = 0;
  // Writes the property block from the stored values alone.
  virtual void WriteToFile(BlockWriter& out) const = 0;
};

}  // namespace tvx
