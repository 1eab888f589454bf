// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
#include "adodc/adodc_decoder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "tvx/extender.h"
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
};

// Colours up to 0xFFFFFF are plain RGB values; anything above is stored as a signed long.
constexpr std::uint32_t kColourThreshold = 16777215;
constexpr std::int64_t kAllBits32 = 4294967295;
constexpr std::int64_t kAllBits16 = 65535;

constexpr std::string_view kTrueText = "-1 'True";
constexpr std::string_view kFalseText = "-0 'False";

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

std::string_view ModeText(std::int64_t v) {
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

std::string_view CursorLocationText(std::int64_t v) {
  return NameOf(v, {{2, "2 - adUseServer"}}, "3 - adUseClient");
}

std::string_view CursorTypeText(std::int64_t v) {
  return NameOf(v, {{2, "2 - adOpenDynamic"}, {1, "1 - adOpenKeyset"}}, "3 - adOpenStatic");
}

std::string_view LockTypeText(std::int64_t v) {
  return NameOf(v,
                {{-1, "-1 - adLockUnspecified"},
                 {1, "1 - adLockReadOnly"},
                 {2, "2 - adLockPessimistic"},
                 {4, "4 - adLockBatchOptimistic"}},
                "3 - adLockOptimistic");
}

std::string_view CommandTypeText(std::int64_t v) {
  return NameOf(v, {{4, "4 - adCmdStoredProc"}, {2, "2 - adCmdTable"}, {1, "1 - adCmdText"}},
                "8 - adCmdUnknown");
}

std::string_view BOFActionText(std::int64_t v) {
  return NameOf(v, {{1, "1 - adStayBOF"}}, "0 - adDoMoveFirst");
}

std::string_view EOFActionText(std::int64_t v) {
  return NameOf(v, {{2, "2 - adDoAddNew"}, {1, "1 - adStayEOF"}}, "0 - adDoMoveLast");
}

std::string_view AppearanceText(std::int64_t v) {
  return NameOf(v, {{0, "0 - adFlatBevel"}}, "1 - ad3DBevel");
}

std::string_view OrientationText(std::int64_t v) {
  return NameOf(v, {{1, "1 - adVertical"}}, "0 - adHorizontal");
}

std::string_view EnabledText(std::int64_t v) {
  return v == 0 ? "False" : "True";
}

// A line of the font group: two blanks, the name padded so that "=" stands in column 18.
template <typename Value>
void FontLine(BlockWriter& out, std::string_view name, const Value& value) {
  static constexpr std::string_view kBlanks = "               ";
  out.Raw("  ", name, kBlanks.substr(0, 15 - std::min<std::size_t>(name.size(), 15)), "= ", value);
}

// Nine texts, each a 32-bit count of UTF-16 units and the units; a count of 0 has no units and
// leaves its property as it is.
void ReadCountedTexts(DecodeContext& ctx, State& p) {
  struct CountedText {
    std::string_view label;
    std::string State::*field;
  };
  static constexpr CountedText kTexts[] = {
      {"ConnectionString:", &State::ConnectionString},
      {"OLEDBString:", &State::OLEDBString},
      {"OLEDBFile:", &State::OLEDBFile},
      {"DataSourceName:", &State::DataSourceName},
      {"OtherAttribute:", &State::OtherAttributes},
      {"UserName:", &State::UserName},
      {"Password:", &State::Password},
      {"RecordSource:", &State::RecordSource},
      {"Caption:", &State::Caption},
  };
  for (const CountedText& t : kTexts) {
    const std::uint32_t n = ctx.ReadLong();
    if (n == 0) continue;
    std::string& field = p.*t.field;
    field = ctx.ReadUtf16LowBytes(n);
    ctx.Line(t.label, field);
  }
}

// The persisted font: version byte, 16-bit charset, attribute byte, weight, size x 10000,
// name length and name.
void ReadFont(DecodeContext& ctx, State& p) {
  const unsigned a = ctx.ReadWord();
  const unsigned b = ctx.ReadWord();
  p.FontCharset = (a >> 8) | ((b & 0xFFu) << 8);
  ctx.Line("FontCharacterSet: ", NumberChars(p.FontCharset));
  const bool italic = (b & 0x0200u) != 0;
  const bool underline = (b & 0x0400u) != 0;
  const bool strikethrough = (b & 0x0800u) != 0;
  p.FontItalic = italic ? kTrueText : kFalseText;
  p.FontUnderline = underline ? kTrueText : kFalseText;
  p.FontStrikethrough = strikethrough ? kTrueText : kFalseText;
  ctx.Line(italic ? "FontItalic: True" : "FontItalic: False");
  ctx.Line(underline ? "FontUnderline: True" : "FontUnderline: False");
  ctx.Line(strikethrough ? "FontStrikethrough: True" : "FontStrikethrough: False");
  p.FontWeight = ctx.ReadWord();
  ctx.Line("FontWeight:", NumberChars(p.FontWeight));
  p.FontSize = ctx.ReadLong() / 10000.0;
  ctx.Line("FontSize:", NumberChars(p.FontSize));
  const std::uint8_t length = ctx.ReadByte();
  if (length != 0) {
    p.FontName = ctx.ReadText(length);
    ctx.Line("FontName:", p.FontName);
  }
}

void ReadControlBlock(DecodeContext& ctx, State& p) {
  for (int i = 0; i < 8; ++i)
    ctx.ReadWord();  // header, not interpreted
  p.ExtentX = ctx.ReadLong();
  p.ExtentY = ctx.ReadLong();
  ctx.ReadWord();  // two words, not interpreted
  ctx.ReadWord();
  p.Version = ctx.ReadLong();

  p.ConnectMode = ctx.ReadLong();
  ctx.Line("Mode: ", ModeText(p.ConnectMode));
  p.CursorLocation = ctx.ReadLong();
  ctx.Line("CursorLocation: ", CursorLocationText(p.CursorLocation));
  p.IsolationLevel = ctx.ReadLong();
  if (p.IsolationLevel == kAllBits32) p.IsolationLevel = -1;
  p.ConnectionTimeout = ctx.ReadLong();
  ctx.Line("ConnectionTimeout:", NumberChars(p.ConnectionTimeout));
  p.CommandTimeout = ctx.ReadLong();
  ctx.Line("CommandTimeout: ", NumberChars(p.CommandTimeout));
  p.CursorType = ctx.ReadLong();
  ctx.Line("CursorType:", CursorTypeText(p.CursorType));
  p.LockType = ctx.ReadLong();
  if (p.LockType == kAllBits32) p.LockType = -1;
  ctx.Line("LockType:", LockTypeText(p.LockType));
  p.CommandType = ctx.ReadLong();
  ctx.Line("CommandType:", CommandTypeText(p.CommandType));
  p.CursorOptions = ctx.ReadLong();
  p.CacheSize = ctx.ReadLong();
  ctx.Line("CacheSize:", NumberChars(p.CacheSize));
  p.MaxRecords = ctx.ReadLong();
  ctx.Line("MaxRecords:", NumberChars(p.MaxRecords));
  p.BOFAction = ctx.ReadLong();
  ctx.Line("BOFAction:", BOFActionText(p.BOFAction));
  p.EOFAction = ctx.ReadLong();
  ctx.Line("EOFAction:", EOFActionText(p.EOFAction));
  p.ConnectStringType = ctx.ReadLong();
  p.Appearance = ctx.ReadLong();
  ctx.Line("Appearance:", AppearanceText(p.Appearance));
  const std::uint32_t back = ctx.ReadLong();
  p.BackColor = SignedColour(back, kColourThreshold);
  ctx.Line("BackColor: ", ColourChars(back));
  const std::uint32_t fore = ctx.ReadLong();
  p.ForeColor = SignedColour(fore, kColourThreshold);
  ctx.Line("ForeColor: ", ColourChars(fore));
  p.Orientation = ctx.ReadLong();
  ctx.Line("Orientation:", OrientationText(p.Orientation));
  // True is stored as all bits set, in a 16-bit or a 32-bit field.
  p.Enabled = ctx.ReadLong();
  if (p.Enabled == kAllBits16 || p.Enabled == kAllBits32) p.Enabled = -1;
  ctx.Line("Enabled:", EnabledText(p.Enabled));

  ReadCountedTexts(ctx, p);
  ReadFont(ctx, p);
}

}  // namespace

DecodeEnd ReadStream(DecodeContext& ctx, State& s) {
  return ReadFrame(ctx, kProfile, s.ext, [&] { ReadControlBlock(ctx, s); });
}

void WriteBlock(BlockWriter& out, const State& p) {
  const ExtenderProperties& e = p.ext;
  out.VersionLine();
  out.TextIfSet("Align", e.Align);
  out.QuotedIfSet("DragIcon", e.DragIcon);
  out.TextIfSet("DragMode", e.DragMode);
  out.NumberIfSet("Height", e.Height);
  out.NumberIfSet("Index", e.Index);
  out.NumberIfSet("Left", e.Left);
  out.TextIfSet("Negotiate", e.Negotiate);
  out.QuotedIfSet("Tag", e.Tag);
  out.QuotedIfSet("ToolTipText", e.ToolTipText);
  out.NumberIfSet("Top", e.Top);
  out.TextIfSet("Visible", e.Visible);
  out.NumberIfSet("WhatsThisHelpID", e.WhatsThisHelpID);
  out.NumberIfSet("Width", e.Width);
  out.Number("_ExtentX", p.ExtentX);
  out.Number("_ExtentY", p.ExtentY);
  out.Number("ConnectMode", p.ConnectMode);
  out.Number("CursorLocation", p.CursorLocation);
  out.Number("IsolationLevel", p.IsolationLevel);
  out.Number("ConnectionTimeout", p.ConnectionTimeout);
  out.Number("CommandTimeout", p.CommandTimeout);
  out.Number("CursorType", p.CursorType);
  out.Number("LockType", p.LockType);
  out.Number("CommandType", p.CommandType);
  out.Number("CursorOptions", p.CursorOptions);
  out.Number("CacheSize", p.CacheSize);
  out.Number("MaxRecords", p.MaxRecords);
  out.Number("BOFAction", p.BOFAction);
  out.Number("EOFAction", p.EOFAction);
  out.Number("ConnectStringType", p.ConnectStringType);
  out.Number("Appearance", p.Appearance);
  out.Number("BackColor", p.BackColor);
  out.Number("ForeColor", p.ForeColor);
  out.Number("Orientation", p.Orientation);
  out.Number("Enabled", p.Enabled);
  out.Quoted("Connect", p.ConnectionString);
  out.Quoted("OLEDBString", p.OLEDBString);
  out.Quoted("OLEDBFile", p.OLEDBFile);
  out.Quoted("DataSourceName", p.DataSourceName);
  out.Quoted("OtherAttributes", p.OtherAttributes);
  out.Quoted("UserName", p.UserName);
  out.Quoted("Password", p.Password);
  out.Quoted("RecordSource", p.RecordSource);
  out.Quoted("Caption", p.Caption);
  out.Raw("BeginProperty Font");
  FontLine(out, "Name", QuotedValue(p.FontName));
  FontLine(out, "Size", NumberChars(p.FontSize));
  FontLine(out, "Charset", NumberChars(p.FontCharset));
  FontLine(out, "Weight", NumberChars(p.FontWeight));
  FontLine(out, "Underline", p.FontUnderline);
  FontLine(out, "Italic", p.FontItalic);
  FontLine(out, "Strikethrough", p.FontStrikethrough);
  out.Raw("EndProperty");
  out.Number("_Version", p.Version);
}

}  // namespace tvx::adodc
