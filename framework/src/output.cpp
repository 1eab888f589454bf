#include "tvx/output.h"

#include <cmath>

#include "tvx/decoder.h"
#include "tvx/text.h"

namespace tvx {

void Listing::Line(std::string_view line) {
  text_.append(line);
  text_.append(kLineEnd);
  if (observer_ != nullptr) observer_->OnListingLine(line);
}

std::string BlockWriter::Label(std::string_view name) const {
  std::string label(name);
  if (label.size() < width_) label.append(width_ - label.size(), ' ');
  label.append("= ");
  return label;
}

void BlockWriter::Raw(std::string_view line) {
  text_.append(line);
  text_.append(kLineEnd);
}

void BlockWriter::Number(std::string_view name, double value) {
  Raw(Label(name) + NumberText(value));
}

void BlockWriter::Text(std::string_view name, std::string_view value) {
  Raw(Label(name) + std::string(value));
}

void BlockWriter::Quoted(std::string_view name, std::string_view value) {
  Raw(Label(name) + QuotedValue(value));
}

void BlockWriter::NumberIfSet(std::string_view name, double value) {
  if (value != -1) Number(name, value);
}

void BlockWriter::TextIfSet(std::string_view name, std::string_view value) {
  if (!value.empty()) Text(name, value);
}

void BlockWriter::QuotedIfSet(std::string_view name, std::string_view value) {
  if (!value.empty()) Quoted(name, value);
}

void DecodeContext::ShowOffset() {
  if (!showOffsets_) return;
  std::string line = "  (Offset d/h: ";
  line += NumberText(PropertyOffset);
  line += '/';
  line += DecToHex(std::nearbyint(PropertyOffset));
  line += ')';
  listing_.Line(line);
}

std::string DecodeContext::ReadPicture() {
  MarkOffset();
  const double length = reader_.GetLong();
  reader_.Skip(8, "picture header");
  // A length below 9 copies nothing; a length past the end copies what the file holds.
  picture_ = reader_.CopyBytes(length - 8);
  return std::string(kPictureFileName);
}

}  // namespace tvx
