#include "record.h"

#include <algorithm>

#include "files.h"
#include "picture_format.h"
#include "sha256.h"
#include "tvx/output.h"

namespace tvx::core {

namespace {

// Collects the listing lines and the block's properties as the decode writes them.
class Collector final : public DecodeObserver, public BlockObserver {
 public:
  Collector(DecodedRecord& record, bool listing) : record_(record), listing_(listing) {}

  void OnListingLine(std::string_view line) override {
    if (!listing_) return;
    record_.listing.Append(line);
    record_.listing.Append(kLineEnd);
  }

  void OnBlockLine(const BlockLine& line) override {
    const std::size_t lineIndex = record_.blockLines.size();
    const std::size_t begin = blockBytes_;
    if (line.kind != BlockLineKind::kDerived) blockBytes_ += line.line.size() + kLineEnd.size();
    switch (line.kind) {
      case BlockLineKind::kVersion:
        record_.blockLines.push_back({line.kind, std::nullopt, begin, line.line.size()});
        return;
      case BlockLineKind::kGroupEnd:
        record_.blockLines.push_back({line.kind, group_, begin, line.line.size()});
        group_.reset();
        return;
      case BlockLineKind::kProperty:
      case BlockLineKind::kGroupStart:
      case BlockLineKind::kDerived:
        break;
    }
    const std::size_t index = record_.properties.size();
    Property& p = record_.properties.emplace_back();
    p.def = line.def;
    p.derived = line.kind == BlockLineKind::kDerived;
    p.value = ValueOf(line.value);
    p.stored = line.stored;
    p.text = line.text;
    p.alternate = line.alternate;
    for (const ByteRange& r : line.from.Ranges())
      p.bytes.push_back({PositionOf(r.position), r.size});
    p.group = group_;
    if (p.derived) return;
    p.line = lineIndex;
    record_.blockLines.push_back({line.kind, index, begin, line.line.size()});
    if (line.kind == BlockLineKind::kGroupStart) group_ = index;
  }

 private:
  static Value ValueOf(const TypedValue& v) {
    return std::visit(
        [](const auto& x) -> Value {
          using T = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<T, std::string_view>) {
            return std::string(x);
          } else {
            return x;
          }
        },
        v);
  }

  DecodedRecord& record_;
  bool listing_;
  std::optional<std::size_t> group_;
  std::size_t blockBytes_ = 0;
};

// The picture's facts, read from the bytes the decode holds.
Picture PictureOf(const DecodedRecord& record, std::string held, double position) {
  Picture picture;
  picture.held = std::move(held);
  const TextRef bytes = record.Text(picture.held);
  picture.size = bytes.Size();
  picture.format = PictureExtension(bytes.Head(64));
  picture.position = PositionOf(position);
  return picture;
}

// The system colours' names, by index.
constexpr std::string_view kSystemColours[] = {"vbScrollBars",
                                               "vbDesktop",
                                               "vbActiveTitleBar",
                                               "vbInactiveTitleBar",
                                               "vbMenuBar",
                                               "vbWindowBackground",
                                               "vbWindowFrame",
                                               "vbMenuText",
                                               "vbWindowText",
                                               "vbTitleBarText",
                                               "vbActiveBorder",
                                               "vbInactiveBorder",
                                               "vbApplicationWorkspace",
                                               "vbHighlight",
                                               "vbHighlightText",
                                               "vbButtonFace",
                                               "vbButtonShadow",
                                               "vbGrayText",
                                               "vbButtonText",
                                               "vbInactiveCaptionText",
                                               "vb3DHighlight",
                                               "vb3DDKShadow",
                                               "vb3DLight",
                                               "vbInfoText",
                                               "vbInfoBackground"};

const std::int64_t* Number(const Property& property) {
  return std::get_if<std::int64_t>(&property.value);
}

}  // namespace

Spool::Spool(Spool&&) noexcept = default;
Spool& Spool::operator=(Spool&&) noexcept = default;
Spool::~Spool() = default;

void Spool::Spill(std::string_view bytes) {
  size_ += bytes.size();
  if (file_ == nullptr && memory_.size() + bytes.size() > limit_) {
    IoError error;
    if (std::unique_ptr<TemporaryFile> file = TemporaryFile::Create(&error)) {
      const auto* data = reinterpret_cast<const std::uint8_t*>(memory_.data());
      if (file->Append({data, memory_.size()}, &error)) {
        memory_.clear();
        memory_.shrink_to_fit();
        file_ = std::move(file);
      }
    }
  }
  if (file_ != nullptr) {
    IoError error;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (file_->Append({data, bytes.size()}, &error)) return;
  }
  memory_.append(bytes);
}

void Spool::Write(const std::function<void(std::string_view)>& write) const {
  if (file_ != nullptr) {
    // Each piece but the last ends with a line's LF: what is handed on whole never splits a
    // line, so a long text's stand-in (one line holds it whole) is never cut in two.
    constexpr std::size_t kPiece = std::size_t{1} << 16;
    std::string piece;
    const std::uint64_t inFile = file_->Size();
    for (std::uint64_t at = 0; at < inFile;) {
      const std::size_t kept = piece.size();
      piece.resize(kept + kPiece);
      const std::size_t got =
          file_->ReadAt(at, reinterpret_cast<std::uint8_t*>(piece.data() + kept), kPiece);
      piece.resize(kept + got);
      if (got == 0) break;
      at += got;
      const std::size_t end = piece.rfind('\n');
      if (end == std::string::npos) continue;
      write(std::string_view(piece).substr(0, end + 1));
      piece.erase(0, end + 1);
    }
    if (!piece.empty()) write(piece);
  }
  if (!memory_.empty()) write(memory_);
}

std::string DecodedRecord::PictureDigest() const {
  if (!picture) return {};
  Sha256 digest;
  Text(picture->held).Write([&digest](std::string_view piece) { digest.Add(piece); });
  return digest.Hex();
}

void DecodedRecord::WriteListing(const std::function<void(std::string_view)>& write) const {
  listing.Write([&](std::string_view piece) { Text(piece).Write(write); });
}

const Property* DecodedRecord::Find(std::string_view path) const {
  const std::size_t dot = path.find('.');
  const std::string_view first = path.substr(0, dot);
  for (std::size_t i = 0; i < properties.size(); ++i) {
    const Property& p = properties[i];
    if (p.group || p.name() != first) continue;
    if (dot == std::string_view::npos) return &p;
    for (const std::size_t m : Members(i)) {
      if (properties[m].name() == path.substr(dot + 1)) return &properties[m];
    }
    return nullptr;
  }
  return nullptr;
}

std::optional<std::int64_t> DecodedRecord::Index() const {
  const Property* index = Find("Index");
  if (index == nullptr || index->bytes.empty()) return std::nullopt;  // a start value
  const auto* n = std::get_if<std::int64_t>(&index->value);
  return n ? std::optional(*n) : std::nullopt;
}

std::vector<std::size_t> DecodedRecord::Members(std::size_t group) const {
  std::vector<std::size_t> members;
  for (std::size_t i = group + 1; i < properties.size(); ++i) {
    if (properties[i].group == group) members.push_back(i);
  }
  return members;
}

DecodedRecord Decode(Decoder& decoder, InputSource& input, Position start, bool offsets,
                     bool listing, std::size_t longText) {
  DecodedRecord record;
  record.texts = std::make_unique<LongTexts>(longText);
  record.control = &decoder.Info();
  record.start = start;
  record.offsets = offsets;
  record.input = &input;
  record.properties.reserve(64);
  record.blockLines.reserve(64);
  Collector collector(record, listing);
  DecodeOptions options;
  options.observer = &collector;
  options.keepListing = false;
  options.longTexts = record.texts.get();
  options.block = &collector;
  DecodeOutput out = RunOn(decoder, input, start, offsets, options);
  record.stop.ended = out.ended;
  if (out.ended == DecodeEnd::kEndCode || out.ended == DecodeEnd::kEndOfInput ||
      out.ended == DecodeEnd::kStopLine) {
    record.stop.position = PositionOf(out.stop.position);
  }
  record.stop.byte = out.stop.code;
  record.block = std::move(out.block);
  if (out.picture) {
    record.picture = PictureOf(record, std::move(*out.picture), out.picturePosition);
  }
  return record;
}

std::optional<std::string_view> Meaning(const Property& property) {
  const std::int64_t* n = Number(property);
  if (property.def->type != PropertyType::kEnumerated || n == nullptr) return std::nullopt;
  return ConstantName(*property.def, *n);
}

std::vector<FlagBit> SetBits(const Property& property) {
  std::vector<FlagBit> bits;
  const std::int64_t* n = Number(property);
  if (property.def->type != PropertyType::kFlags || n == nullptr) return bits;
  for (int i = 0; i < 32; ++i) {
    const std::uint32_t bit = std::uint32_t{1} << i;
    if ((static_cast<std::uint64_t>(*n) & bit) == 0) continue;
    FlagBit& b = bits.emplace_back();
    b.bit = bit;
    for (const Constant& c : property.def->constants) {
      if (c.value == bit) b.names.push_back(c.name);
    }
  }
  return bits;
}

std::optional<Colour> ColourOf(const Property& property) {
  const std::int64_t* n = Number(property);
  if (property.def->type != PropertyType::kColour || n == nullptr) return std::nullopt;
  Colour c;
  c.raw = static_cast<std::uint32_t>(property.stored.value_or(*n));
  if ((c.raw & 0xFFFFFF00u) == 0x80000000u) {
    c.kind = Colour::Kind::kSystem;
    c.index = static_cast<int>(c.raw & 0xFFu);
    if (static_cast<std::size_t>(c.index) < std::size(kSystemColours)) {
      c.name = kSystemColours[c.index];
    }
  } else if (c.raw <= 0xFFFFFFu) {
    c.kind = Colour::Kind::kRgb;
    c.red = static_cast<int>(c.raw & 0xFFu);
    c.green = static_cast<int>((c.raw >> 8) & 0xFFu);
    c.blue = static_cast<int>((c.raw >> 16) & 0xFFu);
  }
  return c;
}

}  // namespace tvx::core
