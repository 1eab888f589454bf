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
    .quotePictureName = true,
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

// What each control-block property is.
constexpr Constant kModes[] = {
    {0, "adModeUnknown"},         {1, "adModeRead"},           {2, "adModeWrite"},
    {3, "adModeReadWrite"},       {4, "adModeShareDenyRead"},  {8, "adModeShareDenyWrite"},
    {12, "adModeShareExclusive"}, {16, "adModeShareDenyNone"}, {4194304, "adModeRecursive"}};
constexpr Constant kCursorLocations[] = {{1, "adUseNone"}, {2, "adUseServer"}, {3, "adUseClient"}};
constexpr Constant kIsolationLevels[] = {
    {-1, "adXactUnspecified"},       {16, "adXactChaos"},
    {256, "adXactBrowse"},           {4096, "adXactCursorStability"},
    {65536, "adXactRepeatableRead"}, {1048576, "adXactIsolated"}};
constexpr Constant kCursorTypes[] = {{-1, "adOpenUnspecified"},
                                     {0, "adOpenForwardOnly"},
                                     {1, "adOpenKeyset"},
                                     {2, "adOpenDynamic"},
                                     {3, "adOpenStatic"}};
constexpr Constant kLockTypes[] = {{-1, "adLockUnspecified"},
                                   {1, "adLockReadOnly"},
                                   {2, "adLockPessimistic"},
                                   {3, "adLockOptimistic"},
                                   {4, "adLockBatchOptimistic"}};
constexpr Constant kCommandTypes[] = {
    {-1, "adCmdUnspecified"}, {1, "adCmdText"},   {2, "adCmdTable"},        {4, "adCmdStoredProc"},
    {8, "adCmdUnknown"},      {256, "adCmdFile"}, {512, "adCmdTableDirect"}};
constexpr Constant kBOFActions[] = {{0, "adDoMoveFirst"}, {1, "adStayBOF"}};
constexpr Constant kEOFActions[] = {{0, "adDoMoveLast"}, {1, "adStayEOF"}, {2, "adDoAddNew"}};
constexpr Constant kAppearances[] = {{0, "adFlat"}, {1, "ad3D"}};
constexpr Constant kOrientations[] = {{0, "adHorizontal"}, {1, "adVertical"}};

using T = PropertyType;
constexpr PropertyDef kConnectMode = {"ConnectMode", T::kEnumerated, kModes,
                                      "the access the connection asks for (Mode)",
                                      "control block offset 32: a long"};
constexpr PropertyDef kCursorLocation = {"CursorLocation", T::kEnumerated, kCursorLocations,
                                         "where the cursor library runs",
                                         "control block offset 36: a long"};
constexpr PropertyDef kIsolationLevel = {
    "IsolationLevel", T::kEnumerated, kIsolationLevels, "the transactions' isolation",
    "control block offset 40: a long (all bits set is written as -1)"};
constexpr PropertyDef kConnectionTimeout = {"ConnectionTimeout",
                                            T::kInteger,
                                            {},
                                            "seconds to wait for the connection",
                                            "control block offset 44: a long"};
constexpr PropertyDef kCommandTimeout = {"CommandTimeout",
                                         T::kInteger,
                                         {},
                                         "seconds to wait for a command",
                                         "control block offset 48: a long"};
constexpr PropertyDef kCursorType = {"CursorType", T::kEnumerated, kCursorTypes,
                                     "the kind of cursor the recordset uses",
                                     "control block offset 52: a long"};
constexpr PropertyDef kLockType = {"LockType", T::kEnumerated, kLockTypes,
                                   "how records are locked while edited",
                                   "control block offset 56: a long (all bits set is -1)"};
constexpr PropertyDef kCommandType = {"CommandType", T::kEnumerated, kCommandTypes,
                                      "what RecordSource names", "control block offset 60: a long"};
constexpr PropertyDef kCursorOptions = {
    "CursorOptions", T::kInteger, {}, "cursor options", "control block offset 64: a long"};
constexpr PropertyDef kCacheSize = {
    "CacheSize", T::kInteger, {}, "records held in memory", "control block offset 68: a long"};
constexpr PropertyDef kMaxRecords = {"MaxRecords",
                                     T::kInteger,
                                     {},
                                     "most records a query returns (0: no limit)",
                                     "control block offset 72: a long"};
constexpr PropertyDef kBOFAction = {"BOFAction", T::kEnumerated, kBOFActions,
                                    "what moving before the first record does",
                                    "control block offset 76: a long"};
constexpr PropertyDef kEOFAction = {"EOFAction", T::kEnumerated, kEOFActions,
                                    "what moving past the last record does",
                                    "control block offset 80: a long"};
constexpr PropertyDef kConnectStringType = {"ConnectStringType",
                                            T::kInteger,
                                            {},
                                            "which kind of connection the property pages set",
                                            "control block offset 84: a long"};
constexpr PropertyDef kAppearance = {"Appearance", T::kEnumerated, kAppearances,
                                     "flat or three-dimensional",
                                     "control block offset 88: a long"};
constexpr PropertyDef kBackColor = {
    "BackColor",
    T::kColour,
    {},
    "the background colour",
    "control block offset 92: a long (above 0xFFFFFF written as a signed number)"};
constexpr PropertyDef kForeColor = {
    "ForeColor",
    T::kColour,
    {},
    "the text colour",
    "control block offset 96: a long (above 0xFFFFFF written as a signed number)"};
constexpr PropertyDef kOrientation = {"Orientation", T::kEnumerated, kOrientations,
                                      "how the buttons are laid out",
                                      "control block offset 100: a long"};
constexpr PropertyDef kEnabled = {
    "Enabled",
    T::kBoolean,
    {},
    "whether the control answers the user",
    "control block offset 104: a long (all bits of a word or a long set are written as -1)"};
constexpr PropertyDef kConnect = {
    "Connect",
    T::kText,
    {},
    "the connection string",
    "control block, after Enabled: the first of nine counted texts, each a long count of UTF-16 "
    "units, then the units (the low byte of each); a count of 0 holds no text"};
constexpr PropertyDef kOLEDBString = {
    "OLEDBString", T::kText, {}, "the OLE DB connection string", "the second of the counted texts"};
constexpr PropertyDef kOLEDBFile = {
    "OLEDBFile", T::kText, {}, "the data link file", "the third of the counted texts"};
constexpr PropertyDef kDataSourceName = {
    "DataSourceName", T::kText, {}, "the ODBC data source", "the fourth of the counted texts"};
constexpr PropertyDef kOtherAttributes = {"OtherAttributes",
                                          T::kText,
                                          {},
                                          "further connection attributes",
                                          "the fifth of the counted texts"};
constexpr PropertyDef kUserName = {"UserName",
                                   T::kText,
                                   {},
                                   "the user the connection logs on as",
                                   "the sixth of the counted texts"};
constexpr PropertyDef kPassword = {
    "Password", T::kText, {}, "the password it logs on with", "the seventh of the counted texts"};
constexpr PropertyDef kRecordSource = {"RecordSource",
                                       T::kText,
                                       {},
                                       "the table, query or procedure the records come from",
                                       "the eighth of the counted texts"};
constexpr PropertyDef kCaption = {
    "Caption", T::kText, {}, "the text shown on the control", "the ninth of the counted texts"};
constexpr PropertyDef kFont = {
    "Font", T::kGroup, {}, "the caption's font", "the font record after the counted texts"};
constexpr PropertyDef kFontName = {
    "Name", T::kText, {}, "the face name", "font record: a byte count, then the name's bytes"};
constexpr PropertyDef kFontSize = {
    "Size", T::kFloat, {}, "the size in points", "font record offset 6: a long, points x 10000"};
constexpr PropertyDef kFontCharset = {
    "Charset", T::kInteger, {}, "the character set", "font record offset 1: a word"};
constexpr PropertyDef kFontWeight = {
    "Weight", T::kInteger, {}, "400 normal, 700 bold", "font record offset 4: a word"};
constexpr PropertyDef kFontUnderline = {
    "Underline", T::kBoolean, {}, "underlined", "font record offset 3: bit 0x04"};
constexpr PropertyDef kFontItalic = {
    "Italic", T::kBoolean, {}, "italic", "font record offset 3: bit 0x02"};
constexpr PropertyDef kFontStrikethrough = {
    "Strikethrough", T::kBoolean, {}, "struck through", "font record offset 3: bit 0x08"};

// The number a long stands for where all its bits set mean -1.
std::int64_t AllBitsAsMinusOne(std::uint32_t raw) {
  return raw == kAllBits32 ? -1 : std::int64_t{raw};
}

// Enabled: all bits of a word or of a long set mean -1.
std::int64_t EnabledNumber(std::uint32_t raw) {
  return raw == kAllBits16 || raw == kAllBits32 ? -1 : std::int64_t{raw};
}

// Nine texts, each a 32-bit count of UTF-16 units and the units; a count of 0 has no units and
// leaves its property as it is.
void ReadCountedTexts(DecodeContext& ctx, State& p) {
  struct CountedText {
    std::string_view label;
    Read<std::string> State::*field;
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
    Read<std::string>& field = p.*t.field;
    field = ctx.ReadUtf16LowBytes(n);
    ctx.Line(t.label, field.value);
  }
}

// The persisted font: version byte, 16-bit charset, attribute byte, weight, size x 10000,
// name length and name.
void ReadFont(DecodeContext& ctx, State& p) {
  const double at = ctx.Position();
  const unsigned a = ctx.ReadWord();
  const unsigned b = ctx.ReadWord();
  p.FontCharset = {(a >> 8) | ((b & 0xFFu) << 8), Source(at + 1, 2)};
  ctx.Line("FontCharacterSet: ", NumberChars(p.FontCharset));
  const Source attributes(at + 3, 1);
  p.FontItalic = {(b & 0x0200u) != 0, attributes};
  p.FontUnderline = {(b & 0x0400u) != 0, attributes};
  p.FontStrikethrough = {(b & 0x0800u) != 0, attributes};
  ctx.Line(p.FontItalic ? "FontItalic: True" : "FontItalic: False");
  ctx.Line(p.FontUnderline ? "FontUnderline: True" : "FontUnderline: False");
  ctx.Line(p.FontStrikethrough ? "FontStrikethrough: True" : "FontStrikethrough: False");
  p.FontWeight = ctx.ReadWord();
  ctx.Line("FontWeight:", NumberChars(p.FontWeight));
  const Read<std::uint32_t> size = ctx.ReadLong();
  p.FontSize = {size / 10000.0, size.from};
  ctx.Line("FontSize:", NumberChars(p.FontSize));
  const std::uint8_t length = ctx.ReadByte();
  if (length != 0) {
    p.FontName = ctx.ReadText(length);
    ctx.Line("FontName:", p.FontName.value);
  }
  p.Font = ctx.Since(at);
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
  p.ConnectionTimeout = ctx.ReadLong();
  ctx.Line("ConnectionTimeout:", NumberChars(p.ConnectionTimeout));
  p.CommandTimeout = ctx.ReadLong();
  ctx.Line("CommandTimeout: ", NumberChars(p.CommandTimeout));
  p.CursorType = ctx.ReadLong();
  ctx.Line("CursorType:", CursorTypeText(p.CursorType));
  p.LockType = ctx.ReadLong();
  ctx.Line("LockType:", LockTypeText(AllBitsAsMinusOne(p.LockType)));
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
  p.BackColor = ctx.ReadLong();
  ctx.Line("BackColor: ", ColourChars(p.BackColor));
  p.ForeColor = ctx.ReadLong();
  ctx.Line("ForeColor: ", ColourChars(p.ForeColor));
  p.Orientation = ctx.ReadLong();
  ctx.Line("Orientation:", OrientationText(p.Orientation));
  // True is stored as all bits set, in a 16-bit or a 32-bit field.
  p.Enabled = ctx.ReadLong();
  ctx.Line("Enabled:", EnabledText(EnabledNumber(p.Enabled)));

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
  WriteIfHeld(out, e, extender::kAlign);
  WriteIfHeld(out, e, extender::kDragIcon);
  WriteIfHeld(out, e, extender::kDragMode);
  out.NumberIfSet(extender::kHeight, e.Height);
  out.NumberIfSet(extender::kIndex, e.Index);
  out.NumberIfSet(extender::kLeft, e.Left);
  WriteIfHeld(out, e, extender::kNegotiate);
  out.QuotedIfSet(extender::kTag, e.Tag);
  out.QuotedIfSet(extender::kToolTipText, e.ToolTipText);
  out.NumberIfSet(extender::kTop, e.Top);
  WriteIfHeld(out, e, extender::kVisible);
  out.NumberIfSet(extender::kWhatsThisHelpID, e.WhatsThisHelpID);
  out.NumberIfSet(extender::kWidth, e.Width);
  out.Number(extent::kExtentX, p.ExtentX);
  out.Number(extent::kExtentY, p.ExtentY);
  out.Number(kConnectMode, p.ConnectMode);
  out.Number(kCursorLocation, p.CursorLocation);
  out.Number(kIsolationLevel, static_cast<double>(AllBitsAsMinusOne(p.IsolationLevel)),
             p.IsolationLevel);
  out.Number(kConnectionTimeout, p.ConnectionTimeout);
  out.Number(kCommandTimeout, p.CommandTimeout);
  out.Number(kCursorType, p.CursorType);
  out.Number(kLockType, static_cast<double>(AllBitsAsMinusOne(p.LockType)), p.LockType);
  out.Number(kCommandType, p.CommandType);
  out.Number(kCursorOptions, p.CursorOptions);
  out.Number(kCacheSize, p.CacheSize);
  out.Number(kMaxRecords, p.MaxRecords);
  out.Number(kBOFAction, p.BOFAction);
  out.Number(kEOFAction, p.EOFAction);
  out.Number(kConnectStringType, p.ConnectStringType);
  out.Number(kAppearance, p.Appearance);
  out.Number(kBackColor, static_cast<double>(SignedColour(p.BackColor, kColourThreshold)),
             p.BackColor);
  out.Number(kForeColor, static_cast<double>(SignedColour(p.ForeColor, kColourThreshold)),
             p.ForeColor);
  out.Number(kOrientation, p.Orientation);
  out.Number(kEnabled, static_cast<double>(EnabledNumber(p.Enabled)), p.Enabled);
  out.Quoted(kConnect, p.ConnectionString);
  out.Quoted(kOLEDBString, p.OLEDBString);
  out.Quoted(kOLEDBFile, p.OLEDBFile);
  out.Quoted(kDataSourceName, p.DataSourceName);
  out.Quoted(kOtherAttributes, p.OtherAttributes);
  out.Quoted(kUserName, p.UserName);
  out.Quoted(kPassword, p.Password);
  out.Quoted(kRecordSource, p.RecordSource);
  out.Quoted(kCaption, p.Caption);
  // The group's lines: two blanks, the name padded so that "=" stands in column 18.
  out.BeginGroup(kFont, 2, 15, p.Font);
  out.Quoted(kFontName, p.FontName);
  out.Number(kFontSize, p.FontSize);
  out.Number(kFontCharset, p.FontCharset);
  out.Number(kFontWeight, p.FontWeight);
  out.Flag(kFontUnderline, p.FontUnderline, kTrueText, kFalseText);
  out.Flag(kFontItalic, p.FontItalic, kTrueText, kFalseText);
  out.Flag(kFontStrikethrough, p.FontStrikethrough, kTrueText, kFalseText);
  out.EndGroup();
  out.Number(extent::kVersion, p.Version);
}

namespace {

const PropertyEntry kProperties[] = {
    {&extender::kAlign},
    {&extender::kDragIcon},
    {&extender::kDragMode},
    {&extender::kHeight},
    {&extender::kIndex},
    {&extender::kLeft},
    {&extender::kNegotiate},
    {&extender::kTag},
    {&extender::kToolTipText},
    {&extender::kTop},
    {&extender::kVisible},
    {&extender::kWhatsThisHelpID},
    {&extender::kWidth},
    {&extent::kExtentX},
    {&extent::kExtentY},
    {&kConnectMode},
    {&kCursorLocation},
    {&kIsolationLevel},
    {&kConnectionTimeout},
    {&kCommandTimeout},
    {&kCursorType},
    {&kLockType},
    {&kCommandType},
    {&kCursorOptions},
    {&kCacheSize},
    {&kMaxRecords},
    {&kBOFAction},
    {&kEOFAction},
    {&kConnectStringType},
    {&kAppearance},
    {&kBackColor},
    {&kForeColor},
    {&kOrientation},
    {&kEnabled},
    {&kConnect},
    {&kOLEDBString},
    {&kOLEDBFile},
    {&kDataSourceName},
    {&kOtherAttributes},
    {&kUserName},
    {&kPassword},
    {&kRecordSource},
    {&kCaption},
    {&kFont},
    {&kFontName, &kFont},
    {&kFontSize, &kFont},
    {&kFontCharset, &kFont},
    {&kFontWeight, &kFont},
    {&kFontUnderline, &kFont},
    {&kFontItalic, &kFont},
    {&kFontStrikethrough, &kFont},
    {&extent::kVersion},
};

}  // namespace

std::span<const PropertyEntry> Properties() {
  return kProperties;
}

}  // namespace tvx::adodc
