#include "adodc/adodc_decoder.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <string_view>

#include "tvx/text.h"

namespace tvx {

const DeliverableInfo AdodcDecoder::kInfo = {"RECNAV.Navigator", "Adodc",
                                             "Tevo Support Library (Adodc)", 18};

namespace {

const ExtenderProfile kProfile = {
    .sectionA = Codes({1, 3, 7, 9, 10, 11}),
    .sectionB = Codes({59, 60, 70, 74}),
    .falseText = "0 'False",
    .automaticText = "1 'Automatic",
    .dragModeLine = "DragMode: Automatic",
    .quoteListingTexts = false,
    .stopLine = {},  // unknown section B codes are skipped
};

// Colours up to 0xFFFFFF are plain RGB values; anything above is stored as a signed long.
constexpr double kColourThreshold = 16777215;
constexpr double kAllBits32 = 4294967295;
constexpr double kAllBits16 = 65535;

constexpr std::string_view kTrueText = "-1 'True";
constexpr std::string_view kFalseText = "-0 'False";

struct Named {
  double value;
  std::string_view text;
};

// The text of the first entry whose value equals `value` exactly, else `otherwise`.
std::string_view NameOf(double value, std::initializer_list<Named> names,
                        std::string_view otherwise) {
  for (const Named& n : names) {
    if (n.value == value) return n.text;
  }
  return otherwise;
}

std::string_view ModeText(double v) {
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

std::string_view CursorLocationText(double v) {
  return NameOf(v, {{2, "2 - adUseServer"}}, "3 - adUseClient");
}

std::string_view CursorTypeText(double v) {
  return NameOf(v, {{2, "2 - adOpenDynamic"}, {1, "1 - adOpenKeyset"}}, "3 - adOpenStatic");
}

std::string_view LockTypeText(double v) {
  return NameOf(v,
                {{-1, "-1 - adLockUnspecified"},
                 {1, "1 - adLockReadOnly"},
                 {2, "2 - adLockPessimistic"},
                 {4, "4 - adLockBatchOptimistic"}},
                "3 - adLockOptimistic");
}

std::string_view CommandTypeText(double v) {
  return NameOf(v, {{4, "4 - adCmdStoredProc"}, {2, "2 - adCmdTable"}, {1, "1 - adCmdText"}},
                "8 - adCmdUnknown");
}

std::string_view BOFActionText(double v) {
  return NameOf(v, {{1, "1 - adStayBOF"}}, "0 - adDoMoveFirst");
}

std::string_view EOFActionText(double v) {
  return NameOf(v, {{2, "2 - adDoAddNew"}, {1, "1 - adStayEOF"}}, "0 - adDoMoveLast");
}

std::string_view AppearanceText(double v) {
  return NameOf(v, {{0, "0 - adFlatBevel"}}, "1 - ad3DBevel");
}

std::string_view OrientationText(double v) {
  return NameOf(v, {{1, "1 - adVertical"}}, "0 - adHorizontal");
}

std::string_view EnabledText(double v) {
  return v == 0 ? "False" : "True";
}

// A line of the font group: two blanks, the name padded so that "=" stands in column 18.
template <typename Value>
void FontLine(BlockWriter& out, std::string_view name, const Value& value) {
  static constexpr std::string_view kBlanks = "               ";
  out.Raw("  ", name, kBlanks.substr(0, 15 - std::min<std::size_t>(name.size(), 15)), "= ", value);
}

}  // namespace

void AdodcDecoder::InitProperties() {
  props_ = AdodcProperties{};
}

void AdodcDecoder::ParseControl(DecodeContext& ctx) {
  if (ReadSectionA(ctx, kProfile, props_) != SectionEnd::kEndCode) return;
  ReadControlBlock(ctx);
  ReadSectionB(ctx, kProfile, props_);
}

void AdodcDecoder::ReadControlBlock(DecodeContext& ctx) {
  AdodcProperties& p = props_;
  for (int i = 0; i < 8; ++i)
    ctx.GetWord();  // header, not interpreted
  p.ExtentX = ctx.GetLong();
  p.ExtentY = ctx.GetLong();
  ctx.GetWord();  // two words, not interpreted
  ctx.GetWord();
  p.Version = ctx.GetLong();

  p.ConnectMode = ctx.GetLong();
  ctx.Line("Mode: ", ModeText(p.ConnectMode));
  p.CursorLocation = ctx.GetLong();
  ctx.Line("CursorLocation: ", CursorLocationText(p.CursorLocation));
  p.IsolationLevel = ctx.GetLong();
  if (p.IsolationLevel == kAllBits32) p.IsolationLevel = -1;
  p.ConnectionTimeout = ctx.GetLong();
  ctx.Line("ConnectionTimeout:", NumberChars(p.ConnectionTimeout));
  p.CommandTimeout = ctx.GetLong();
  ctx.Line("CommandTimeout: ", NumberChars(p.CommandTimeout));
  p.CursorType = ctx.GetLong();
  ctx.Line("CursorType:", CursorTypeText(p.CursorType));
  p.LockType = ctx.GetLong();
  if (p.LockType == kAllBits32) p.LockType = -1;
  ctx.Line("LockType:", LockTypeText(p.LockType));
  p.CommandType = ctx.GetLong();
  ctx.Line("CommandType:", CommandTypeText(p.CommandType));
  p.CursorOptions = ctx.GetLong();
  p.CacheSize = ctx.GetLong();
  ctx.Line("CacheSize:", NumberChars(p.CacheSize));
  p.MaxRecords = ctx.GetLong();
  ctx.Line("MaxRecords:", NumberChars(p.MaxRecords));
  p.BOFAction = ctx.GetLong();
  ctx.Line("BOFAction:", BOFActionText(p.BOFAction));
  p.EOFAction = ctx.GetLong();
  ctx.Line("EOFAction:", EOFActionText(p.EOFAction));
  p.ConnectStringType = ctx.GetLong();
  p.Appearance = ctx.GetLong();
  ctx.Line("Appearance:", AppearanceText(p.Appearance));
  const double back = ctx.GetLong();
  p.BackColor = SignedColour(back, kColourThreshold);
  ctx.Line("BackColor: ", ColourChars(back));
  const double fore = ctx.GetLong();
  p.ForeColor = SignedColour(fore, kColourThreshold);
  ctx.Line("ForeColor: ", ColourChars(fore));
  p.Orientation = ctx.GetLong();
  ctx.Line("Orientation:", OrientationText(p.Orientation));
  // True is stored as all bits set, in a 16-bit or a 32-bit field.
  p.Enabled = ctx.GetLong();
  if (p.Enabled == kAllBits16 || p.Enabled == kAllBits32) p.Enabled = -1;
  ctx.Line("Enabled:", EnabledText(p.Enabled));

  ReadCountedTexts(ctx);
  ReadFont(ctx);
}

// Nine texts, each a 32-bit count of UTF-16 units and the units; a count of 0 has no units and
// leaves its property as it is.
void AdodcDecoder::ReadCountedTexts(DecodeContext& ctx) {
  struct CountedText {
    std::string_view label;
    std::string AdodcProperties::*field;
  };
  static constexpr CountedText kTexts[] = {
      {"ConnectionString:", &AdodcProperties::ConnectionString},
      {"OLEDBString:", &AdodcProperties::OLEDBString},
      {"OLEDBFile:", &AdodcProperties::OLEDBFile},
      {"DataSourceName:", &AdodcProperties::DataSourceName},
      {"OtherAttribute:", &AdodcProperties::OtherAttributes},
      {"UserName:", &AdodcProperties::UserName},
      {"Password:", &AdodcProperties::Password},
      {"RecordSource:", &AdodcProperties::RecordSource},
      {"Caption:", &AdodcProperties::Caption},
  };
  for (const CountedText& t : kTexts) {
    const double n = ctx.GetLong();
    if (n == 0) continue;
    std::string& field = props_.*t.field;
    field = ctx.GetUnicodeStringWLen(n);
    ctx.Line(t.label, field);
  }
}

// The persisted font: version byte, 16-bit charset, attribute byte, weight, size x 10000,
// name length and name.
void AdodcDecoder::ReadFont(DecodeContext& ctx) {
  AdodcProperties& p = props_;
  const auto a = static_cast<unsigned>(ctx.GetWord());
  const auto b = static_cast<unsigned>(ctx.GetWord());
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
  p.FontWeight = ctx.GetWord();
  ctx.Line("FontWeight:", NumberChars(p.FontWeight));
  p.FontSize = ctx.GetLong() / 10000;
  ctx.Line("FontSize:", NumberChars(p.FontSize));
  const double length = ctx.GetByte();
  if (length != 0) {
    p.FontName = ctx.GetDOSStringWLen(length);
    ctx.Line("FontName:", p.FontName);
  }
}

void AdodcDecoder::WriteToFile(BlockWriter& out) const {
  const AdodcProperties& p = props_;
  out.VersionLine();
  out.TextIfSet("Align", p.Align);
  out.QuotedIfSet("DragIcon", p.DragIcon);
  out.TextIfSet("DragMode", p.DragMode);
  out.NumberIfSet("Height", p.Height);
  out.NumberIfSet("Index", p.Index);
  out.NumberIfSet("Left", p.Left);
  out.TextIfSet("Negotiate", p.Negotiate);
  out.QuotedIfSet("Tag", p.Tag);
  out.QuotedIfSet("ToolTipText", p.ToolTipText);
  out.NumberIfSet("Top", p.Top);
  out.TextIfSet("Visible", p.Visible);
  out.NumberIfSet("WhatsThisHelpID", p.WhatsThisHelpID);
  out.NumberIfSet("Width", p.Width);
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

}  // namespace tvx
