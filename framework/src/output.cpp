// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
#include "tvx/output.h"

#include <cmath>
#include <cstring>

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

namespace {

// A number's typed value by its property's type: a boolean is any number but 0; whole numbers
// are integers.
TypedValue NumberValue(const PropertyDef& def, double value) {
  if (def.type == PropertyType::kBoolean) return value != 0;
  if (def.type == PropertyType::kFloat) return value;
  constexpr double kWholeLimit = 9007199254740992.0;  // 2^53: every whole double below is exact
  if (std::trunc(value) == value && std::fabs(value) <= kWholeLimit) {
    return static_cast<std::int64_t>(value);
  }
  return value;
}

}  // namespace

// The property lines are appended in place, without building each line on its own first: the
// label's room made at once, blank, and the name and "=" written into it.
void BlockWriter::AppendLabel(std::string_view name) {
  const std::size_t width = inGroup_ ? groupWidth_ : width_;
  const std::size_t indent = inGroup_ ? indent_ : 0;
  const std::size_t pad = name.size() < width ? width - name.size() : 0;
  const std::size_t at = text_.size();
  text_.resize(at + indent + name.size() + pad + 2, ' ');
  char* label = text_.data() + at + indent;
  std::memcpy(label, name.data(), name.size());
  label[name.size() + pad] = '=';
}

void BlockWriter::Tell(BlockLineKind kind, const PropertyDef* def, std::size_t start,
                       std::size_t valueAt, const TypedValue& value, const Source& from,
                       std::optional<std::int64_t> stored, std::string_view alternate) {
  const std::string_view all(text_);
  BlockLine line;
  line.kind = kind;
  line.def = def;
  line.value = value;
  line.stored = stored;
  line.text = all.substr(valueAt);
  line.line = all.substr(start);
  line.alternate = alternate;
  line.from = from;
  observer_->OnBlockLine(line);
}

void BlockWriter::VersionLine() {
  const std::size_t start = text_.size();
  text_.append(kLibraryVersionLine);
  if (observer_ != nullptr) Tell(BlockLineKind::kVersion, nullptr, start, text_.size(), {}, {});
  text_.append(kLineEnd);
}

void BlockWriter::NumberLine(const PropertyDef& def, double value, const Source& from,
                             std::optional<std::int64_t> stored) {
  const std::size_t start = text_.size();
  AppendLabel(def.name);
  const std::size_t at = text_.size();
  const ShortText number = NumberChars(value);
  text_.append(number.View());
  if (observer_ != nullptr) {
    Tell(BlockLineKind::kProperty, &def, start, at, NumberValue(def, value), from, stored);
  }
  text_.append(kLineEnd);
}

void BlockWriter::Quoted(const PropertyDef& def, const Read<std::string>& text) {
  const std::size_t start = text_.size();
  AppendLabel(def.name);
  const std::size_t at = text_.size();
  AppendQuoted(text_, text.value);
  if (observer_ != nullptr) {
    Tell(BlockLineKind::kProperty, &def, start, at, std::string_view(text.value), text.from);
  }
  text_.append(kLineEnd);
}

void BlockWriter::QuotedIfSet(const PropertyDef& def, const Read<std::string>& text) {
  if (!text.value.empty()) Quoted(def, text);
}

void BlockWriter::Text(const PropertyDef& def, const Read<std::string>& text) {
  Shown(def, text.value, std::string_view(text.value), text.from);
}

void BlockWriter::Shown(const PropertyDef& def, std::string_view shown, const TypedValue& value,
                        const Source& from, std::optional<std::int64_t> stored,
                        std::string_view alternate) {
  const std::size_t start = text_.size();
  AppendLabel(def.name);
  const std::size_t at = text_.size();
  text_.append(shown);
  if (observer_ != nullptr) {
    Tell(BlockLineKind::kProperty, &def, start, at, value, from, stored, alternate);
  }
  text_.append(kLineEnd);
}

void BlockWriter::Flag(const PropertyDef& def, const Read<bool>& flag, std::string_view trueText,
                       std::string_view falseText) {
  if (flag.Held()) {
    Shown(def, flag.value ? trueText : falseText, flag.value, flag.from);
  } else {
    Shown(def, "", {}, {});
  }
}

void BlockWriter::BeginGroup(const PropertyDef& def, std::size_t indent, std::size_t width,
                             const Source& from) {
  const std::size_t start = text_.size();
  text_.append("BeginProperty ");
  const std::size_t at = text_.size();
  text_.append(def.name);
  if (observer_ != nullptr) Tell(BlockLineKind::kGroupStart, &def, start, at, {}, from);
  text_.append(kLineEnd);
  inGroup_ = true;
  indent_ = indent;
  groupWidth_ = width;
}

void BlockWriter::EndGroup() {
  inGroup_ = false;
  const std::size_t start = text_.size();
  text_.append("EndProperty");
  if (observer_ != nullptr) Tell(BlockLineKind::kGroupEnd, nullptr, start, text_.size(), {}, {});
  text_.append(kLineEnd);
}

void BlockWriter::Derived(const PropertyDef& def, const TypedValue& value, std::string_view text,
                          const Source& from) {
  if (observer_ == nullptr) return;
  BlockLine line;
  line.kind = BlockLineKind::kDerived;
  line.def = &def;
  line.value = value;
  line.text = text;
  line.from = from;
  observer_->OnBlockLine(line);
}

void DecodeContext::OffsetLine(double at) {
  listing_.Line("  (Offset d/h: ", NumberChars(at), "/", HexChars(std::nearbyint(at)), ")");
}

Source DecodeContext::ReadPicture() {
  const double at = Position();
  const std::uint32_t length = reader_.ReadLong();
  reader_.Skip(8, ReadKind::kPictureHeader);
  picturePosition_ = Position();
  // A length below 9 copies nothing; a length past the end copies what the file holds.
  picture_ = reader_.CopyBytes(length > 8 ? length - 8 : 0);
  return Since(at);
}

}  // namespace tvx
