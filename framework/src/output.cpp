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

// The property lines are appended in place, without building each line on its own first.
void BlockWriter::AppendLabel(std::string_view name) {
  text_.append(name);
  if (name.size() < width_) text_.append(width_ - name.size(), ' ');
  text_.append("= ");
}

void BlockWriter::Number(std::string_view name, double value) {
  AppendLabel(name);
  text_.append(NumberText(value));
  text_.append(kLineEnd);
}

void BlockWriter::Text(std::string_view name, std::string_view value) {
  AppendLabel(name);
  text_.append(value);
  text_.append(kLineEnd);
}

void BlockWriter::Quoted(std::string_view name, std::string_view value) {
  AppendLabel(name);
  text_.push_back('"');
  for (const char c : value) {
    text_.push_back(c);
    if (c == '"') text_.push_back('"');
  }
  text_.push_back('"');
  text_.append(kLineEnd);
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
