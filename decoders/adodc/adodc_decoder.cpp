// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
#include "adodc/adodc_decoder.h"

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "adodc/adodc_properties.h"
#include "tvx/extender.h"
#include "tvx/font.h"
#include "tvx/text.h"

namespace tvx::adodc {

namespace {

using Code = ExtenderCode;
constexpr ExtenderProfile kProfile = {
    .sectionA = SectionA({Code::kIndex, Code::kPositionAndSize, Code::kVisible, Code::kDragMode,
                          Code::kDragIcon, Code::kTag}),
    .sectionB =
        SectionB({Code::kAlign, Code::kNegotiate, Code::kWhatsThisHelpID, Code::kToolTipText}),
    .falseText = "0 'False",
    .automaticText = "1 'Automatic",
    .dragModeLine = "DragMode: Automatic",
    .quoteListingTexts = false,
    .stopLine = {},  // unknown section B codes are skipped
    .quotePictureName = true,
};

// Colours up to 0xFFFFFF are plain RGB values; anything above is stored as a signed long.
constexpr std::uint32_t kColourThreshold = 16777215;
constexpr std::int64_t kAllBits32 = 4294967295;
constexpr std::int64_t kAllBits16 = 65535;

constexpr FontGroupStyle kFontStyle = {.indent = 2,
                                       .width = 15,
                                       .trueText = "-1 'True",
                                       .falseText = "-0 'False",
                                       .unreadSizeEmpty = false,
                                       .name = &kFontName,
                                       .charset = &kFontCharset};

// The number a long stands for where all its bits set mean -1.
std::int64_t AllBitsAsMinusOne(std::uint32_t raw) {
  return raw == kAllBits32 ? -1 : std::int64_t{raw};
}

// Enabled: all bits of a word or of a long set mean -1.
std::int64_t EnabledNumber(std::uint32_t raw) {
  return raw == kAllBits16 || raw == kAllBits32 ? -1 : std::int64_t{raw};
}

// A colour as the block writes it: signed above the threshold.
std::int64_t ColourNumber(std::uint32_t raw) {
  return SignedColour(raw, kColourThreshold);
}

struct Named {
  std::int64_t value;
  std::string_view text;
};

// The text of the first entry whose value equals `value` exactly, else `otherwise`.
std::string_view NameOf(std::int64_t value, std::initializer_list<Named> names,
                        std::string_view otherwise) {
  for (const Named& n : names) {
    if (n.value == value) return n.text;
  }
  return otherwise;
}

std::string_view ModeText(std::uint32_t v) {
  return NameOf(v,
                {{1, "1 - adModeRead"},
                 {2, "2 - adModeWrite"},
                 {3, "3 - adModeReadWrite"},
                 {4, "4 - adShareDenyRead"},
                 {8, "8 - adShareDenyWrite"},
                 {12, "12 - adModeShareExclusive"},
                 {16, "16 - adModeShareDenyNone"},
                 {4194304, "4194304 - adModeRecursive"}},
                "0 - adModeUnknown");
}

std::string_view CursorLocationText(std::uint32_t v) {
  return NameOf(v, {{2, "2 - adUseServer"}}, "3 - adUseClient");
}

std::string_view CursorTypeText(std::uint32_t v) {
  return NameOf(v, {{2, "2 - adOpenDynamic"}, {1, "1 - adOpenKeyset"}}, "3 - adOpenStatic");
}

std::string_view LockTypeText(std::uint32_t v) {
  return NameOf(AllBitsAsMinusOne(v),
                {{-1, "-1 - adLockUnspecified"},
                 {1, "1 - adLockReadOnly"},
                 {2, "2 - adLockPessimistic"},
                 {4, "4 - adLockBatchOptimistic"}},
                "3 - adLockOptimistic");
}

std::string_view CommandTypeText(std::uint32_t v) {
  return NameOf(v, {{4, "4 - adCmdStoredProc"}, {2, "2 - adCmdTable"}, {1, "1 - adCmdText"}},
                "8 - adCmdUnknown");
}

std::string_view BOFActionText(std::uint32_t v) {
  return NameOf(v, {{1, "1 - adStayBOF"}}, "0 - adDoMoveFirst");
}

std::string_view EOFActionText(std::uint32_t v) {
  return NameOf(v, {{2, "2 - adDoAddNew"}, {1, "1 - adStayEOF"}}, "0 - adDoMoveLast");
}

std::string_view AppearanceText(std::uint32_t v) {
  return NameOf(v, {{0, "0 - adFlatBevel"}}, "1 - ad3DBevel");
}

std::string_view OrientationText(std::uint32_t v) {
  return NameOf(v, {{1, "1 - adVertical"}}, "0 - adHorizontal");
}

std::string_view EnabledText(std::uint32_t v) {
  return EnabledNumber(v) == 0 ? "False" : "True";
}

// The longs of the control block, in stream order, which is the block's: each with its listing
// line's start (empty: not listed) and the number the block states.
struct BlockLong {
  Read<std::uint32_t> State::*field;
  const PropertyDef* def;
  std::string_view label;
  std::string_view (*text)(std::uint32_t) = nullptr;  // listed as this, else as its number
  std::int64_t (*number)(std::uint32_t) = nullptr;    // the block's number, else the long
};
constexpr BlockLong kLongs[] = {
    {&State::ConnectMode, &kConnectMode, "Mode: ", ModeText},
    {&State::CursorLocation, &kCursorLocation, "CursorLocation: ", CursorLocationText},
    {&State::IsolationLevel, &kIsolationLevel, {}, nullptr, AllBitsAsMinusOne},
    {&State::ConnectionTimeout, &kConnectionTimeout, "ConnectionTimeout:"},
    {&State::CommandTimeout, &kCommandTimeout, "CommandTimeout: "},
    {&State::CursorType, &kCursorType, "CursorType:", CursorTypeText},
    {&State::LockType, &kLockType, "LockType:", LockTypeText, AllBitsAsMinusOne},
    {&State::CommandType, &kCommandType, "CommandType:", CommandTypeText},
    {&State::CursorOptions, &kCursorOptions, {}},
    {&State::CacheSize, &kCacheSize, "CacheSize:"},
    {&State::MaxRecords, &kMaxRecords, "MaxRecords:"},
    {&State::BOFAction, &kBOFAction, "BOFAction:", BOFActionText},
    {&State::EOFAction, &kEOFAction, "EOFAction:", EOFActionText},
    {&State::ConnectStringType, &kConnectStringType, {}},
    {&State::Appearance, &kAppearance, "Appearance:", AppearanceText},
    {&State::BackColor, &kBackColor, "BackColor: ", nullptr, ColourNumber},
    {&State::ForeColor, &kForeColor, "ForeColor: ", nullptr, ColourNumber},
    {&State::Orientation, &kOrientation, "Orientation:", OrientationText},
    // True is stored as all bits set, in a 16-bit or a 32-bit field.
    {&State::Enabled, &kEnabled, "Enabled:", EnabledText, EnabledNumber},
};

// Nine texts after the longs, each a 32-bit count of UTF-16 units and the units; a count of 0
// has no units and leaves its property as it is.
struct CountedText {
  Read<std::string> State::*field;
  const PropertyDef* def;
  std::string_view label;
};
constexpr CountedText kTexts[] = {
    {&State::ConnectionString, &kConnect, "ConnectionString:"},
    {&State::OLEDBString, &kOLEDBString, "OLEDBString:"},
    {&State::OLEDBFile, &kOLEDBFile, "OLEDBFile:"},
    {&State::DataSourceName, &kDataSourceName, "DataSourceName:"},
    {&State::OtherAttributes, &kOtherAttributes, "OtherAttribute:"},
    {&State::UserName, &kUserName, "UserName:"},
    {&State::Password, &kPassword, "Password:"},
    {&State::RecordSource, &kRecordSource, "RecordSource:"},
    {&State::Caption, &kCaption, "Caption:"},
};

// The extender properties the block may hold, each written where the stream held it.
constexpr PropertyEntry kExtender[] = {
    {&extender::kAlign},     {&extender::kDragIcon}, {&extender::kDragMode},
    {&extender::kHeight},    {&extender::kIndex},    {&extender::kLeft},
    {&extender::kNegotiate}, {&extender::kTag},      {&extender::kToolTipText},
    {&extender::kTop},       {&extender::kVisible},  {&extender::kWhatsThisHelpID},
    {&extender::kWidth}};

void ReadLongs(DecodeContext& ctx, State& p) {
  for (const BlockLong& l : kLongs) {
    const Read<std::uint32_t>& value = p.*l.field = ctx.ReadLong();
    if (l.label.empty()) continue;
    if (l.text != nullptr) {
      ctx.Line(l.label, l.text(value));
    } else if (l.def->type == PropertyType::kColour) {
      ctx.Line(l.label, ColourChars(value));
    } else {
      ctx.Line(l.label, NumberChars(value));
    }
  }
}

void ReadCountedTexts(DecodeContext& ctx, State& p) {
  for (const CountedText& t : kTexts) {
    const std::uint32_t n = ctx.ReadLong();
    if (n == 0) continue;
    Read<std::string>& field = p.*t.field;
    field = ctx.ReadUtf16LowBytes(n);
    ctx.Line(t.label, field.value);
  }
}

// The caption font: the charset and the styles from the record's first two words, then the
// weight, the size and the name, each listed as it is read.
void ReadFont(DecodeContext& ctx, FontRecord& font) {
  const double at = ctx.Position();
  const unsigned a = ctx.ReadWord();
  const unsigned b = ctx.ReadWord();
  font.Charset = {(a >> 8) | ((b & 0xFFu) << 8), Source(at + 1, 2)};
  ctx.Line("FontCharacterSet: ", NumberChars(font.Charset));
  const Source attributes(at + 3, 1);
  font.Italic = {(b & 0x0200u) != 0, attributes};
  font.Underline = {(b & 0x0400u) != 0, attributes};
  font.Strikethrough = {(b & 0x0800u) != 0, attributes};
  ctx.Line(font.Italic ? "FontItalic: True" : "FontItalic: False");
  ctx.Line(font.Underline ? "FontUnderline: True" : "FontUnderline: False");
  ctx.Line(font.Strikethrough ? "FontStrikethrough: True" : "FontStrikethrough: False");
  font.Weight = ctx.ReadWord();
  ctx.Line("FontWeight:", NumberChars(font.Weight));
  font.Size = ctx.ReadLong();
  ctx.Line("FontSize:", NumberChars(font.Size / 10000.0));
  const std::uint8_t length = ctx.ReadByte();
  if (length != 0) {
    font.Name = ctx.ReadText(length);
    ctx.Line("FontName:", font.Name.value);
  }
  font.record = ctx.Since(at);
}

void ReadControlBlock(DecodeContext& ctx, State& p) {
  for (int i = 0; i < 8; ++i)
    ctx.ReadWord();  // header, not interpreted
  p.ExtentX = ctx.ReadLong();
  p.ExtentY = ctx.ReadLong();
  ctx.ReadWord();  // two words, not interpreted
  ctx.ReadWord();
  p.Version = ctx.ReadLong();
  ReadLongs(ctx, p);
  ReadCountedTexts(ctx, p);
  ReadFont(ctx, p.Font);
}

}  // namespace

DecodeEnd ReadStream(DecodeContext& ctx, State& s) {
  return ReadFrame(ctx, kProfile, s.ext, [&] { ReadControlBlock(ctx, s); });
}

void WriteBlock(BlockWriter& out, const State& p) {
  out.VersionLine();
  WriteEachIfHeld(out, p.ext, kExtender);
  out.Number(extent::kExtentX, p.ExtentX);
  out.Number(extent::kExtentY, p.ExtentY);
  for (const BlockLong& l : kLongs) {
    const Read<std::uint32_t>& raw = p.*l.field;
    const std::int64_t number = l.number != nullptr ? l.number(raw) : std::int64_t{raw};
    out.Number(*l.def, static_cast<double>(number), raw);
  }
  for (const CountedText& t : kTexts)
    out.Quoted(*t.def, p.*t.field);
  // The group's lines: two blanks, the name padded so that "=" stands in column 18.
  WriteFontGroup(out, kFont, p.Font, kFontStyle);
  out.Number(extent::kVersion, p.Version);
}

std::span<const PropertyEntry> Properties() {
  static const std::vector<PropertyEntry> all = [] {
    std::vector<PropertyEntry> own;
    for (const BlockLong& l : kLongs)
      own.push_back({l.def});
    for (const CountedText& t : kTexts)
      own.push_back({t.def});
    static constexpr PropertyEntry kExtent[] = {{&extent::kExtentX}, {&extent::kExtentY}};
    static constexpr PropertyEntry kVersion[] = {{&extent::kVersion}};
    return JoinedEntries({kExtender, kExtent, own, FontGroupEntries(kFont, kFontStyle), kVersion});
  }();
  return all;
}

}  // namespace tvx::adodc
