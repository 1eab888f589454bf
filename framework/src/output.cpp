// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
#include "tvx/output.h"

#include <cmath>

#include "tvx/decoder.h"
#include "tvx/text.h"

namespace tvx {

void Listing::EndLine(std::size_t start) {
  if (observer_ != nullptr) {
    observer_->OnListingLine(std::string_view(text_).substr(start));
    if (!keep_) {
      text_.clear();
      return;
    }
  }
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
  const ShortText number = NumberChars(value);
  text_.append(number.View());
  text_.append(kLineEnd);
}

void BlockWriter::Text(std::string_view name, std::string_view value) {
  AppendLabel(name);
  text_.append(value);
  text_.append(kLineEnd);
}

void BlockWriter::Quoted(std::string_view name, std::string_view value) {
  AppendLabel(name);
  AppendQuoted(text_, value);
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

void DecodeContext::OffsetLine(double at) {
  listing_.Line("  (Offset d/h: ", NumberChars(at), "/", HexChars(std::nearbyint(at)), ")");
}

std::string DecodeContext::ReadPicture() {
  const std::uint32_t length = reader_.ReadLong();
  reader_.Skip(8, ReadKind::kPictureHeader);
  // A length below 9 copies nothing; a length past the end copies what the file holds.
  picture_ = reader_.CopyBytes(length > 8 ? length - 8 : 0);
  return std::string(kPictureFileName);
}

}  // namespace tvx
