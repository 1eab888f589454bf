// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
#include "commondialog/commondialog_decoder.h"

#include <cstdint>
#include <string_view>
#include <vector>

#include "tvx/extender.h"
#include "tvx/text.h"

namespace tvx::commondialog {

namespace {

constexpr ExtenderProfile kProfile = IndexTagLeftTop("COMMONDIALOG Parse Error");

// The bits of Flags: their meaning depends on the dialog shown (open and save, colour, font,
// print), so each bit has the names of every dialog that gives it one.
constexpr Constant kFlagBits[] = {
    {0x1, "cdlOFNReadOnly"},
    {0x1, "cdlCCRGBInit"},
    {0x1, "cdlCFScreenFonts"},
    {0x1, "cdlPDSelection"},
    {0x2, "cdlOFNOverwritePrompt"},
    {0x2, "cdlCCFullOpen"},
    {0x2, "cdlCFPrinterFonts"},
    {0x2, "cdlPDPageNums"},
    {0x4, "cdlOFNHideReadOnly"},
    {0x4, "cdlCCPreventFullOpen"},
    {0x4, "cdlCFHelpButton"},
    {0x4, "cdlPDNoSelection"},
    {0x8, "cdlOFNNoChangeDir"},
    {0x8, "cdlCCHelpButton"},
    {0x8, "cdlPDNoPageNums"},
    {0x10, "cdlOFNHelpButton"},
    {0x10, "cdlPDCollate"},
    {0x20, "cdlPDPrintToFile"},
    {0x40, "cdlPDPrintSetup"},
    {0x80, "cdlPDNoWarning"},
    {0x100, "cdlOFNNoValidate"},
    {0x100, "cdlCFEffects"},
    {0x100, "cdlPDReturnDC"},
    {0x200, "cdlOFNAllowMultiselect"},
    {0x200, "cdlCFApply"},
    {0x200, "cdlPDReturnIC"},
    {0x400, "cdlOFNExtensionDifferent"},
    {0x400, "cdlCFANSIOnly"},
    {0x400, "cdlPDReturnDefault"},
    {0x800, "cdlOFNPathMustExist"},
    {0x800, "cdlCFNoVectorFonts"},
    {0x800, "cdlPDHelpButton"},
    {0x1000, "cdlOFNFileMustExist"},
    {0x1000, "cdlCFNoSimulations"},
    {0x2000, "cdlOFNCreatePrompt"},
    {0x2000, "cdlCFLimitSize"},
    {0x4000, "cdlOFNShareAware"},
    {0x4000, "cdlCFFixedPitchOnly"},
    {0x8000, "cdlOFNNoReadOnlyReturn"},
    {0x8000, "cdlCFWYSIWYG"},
    {0x10000, "cdlCFForceFontExist"},
    {0x20000, "cdlOFNNoNetworkButton"},
    {0x20000, "cdlCFScalableOnly"},
    {0x40000, "cdlOFNNoLongNames"},
    {0x40000, "cdlCFTTOnly"},
    {0x40000, "cdlPDUseDevModeCopies"},
    {0x80000, "cdlOFNExplorer"},
    {0x80000, "cdlCFNoFaceSel"},
    {0x80000, "cdlPDDisablePrintToFile"},
    {0x100000, "cdlOFNNoDereferenceLinks"},
    {0x100000, "cdlCFNoStyleSel"},
    {0x100000, "cdlPDHidePrintToFile"},
    {0x200000, "cdlOFNLongNames"},
    {0x200000, "cdlCFNoSizeSel"},
    {0x200000, "cdlPDNoNetworkButton"},
};
constexpr Constant kHelpCommands[] = {
    {1, "cdlHelpContext"},      {2, "cdlHelpQuit"},     {3, "cdlHelpIndex"},
    {4, "cdlHelpHelpOnHelp"},   {5, "cdlHelpSetIndex"}, {8, "cdlHelpContextPopup"},
    {9, "cdlHelpForceFile"},    {257, "cdlHelpKey"},    {258, "cdlHelpCommandHelp"},
    {261, "cdlHelpPartialKey"},
};
constexpr Constant kOrientations[] = {{1, "cdlPortrait"}, {2, "cdlLandscape"}};

using T = PropertyType;
constexpr PropertyDef kCancelError = {"CancelError",
                                      T::kBoolean,
                                      {},
                                      "whether Cancel raises an error",
                                      "control block offset 36, the flag long: bit 0x10"};
constexpr PropertyDef kColor = {
    "Color", T::kColour, {}, "the colour chosen", "control block offset 76: a long, as it stands"};
constexpr PropertyDef kCopies = {
    "Copies", T::kInteger, {}, "copies to print", "control block offset 48: a word"};
constexpr PropertyDef kDefaultExt = {
    "DefaultExt",
    T::kText,
    {},
    "the extension a file name gets when it has none",
    "control block, after the presence mask at offset 80: when its bit 0x01 is set, a long count "
    "of UTF-16 units, then the units (the low byte of each); the texts come in the order of this "
    "list"};
constexpr PropertyDef kDialogTitle = {
    "DialogTitle", T::kText, {}, "the dialog's title", "a counted text, presence mask bit 0x02"};
constexpr PropertyDef kFileName = {"FileName",
                                   T::kText,
                                   {},
                                   "the file name shown first",
                                   "a counted text, presence mask bit 0x04"};
constexpr PropertyDef kFilter = {"Filter",
                                 T::kText,
                                 {},
                                 "the file types offered: description|pattern pairs",
                                 "a counted text, presence mask bit 0x08"};
constexpr PropertyDef kFilterIndex = {"FilterIndex",
                                      T::kInteger,
                                      {},
                                      "the filter chosen first, from 1",
                                      "control block offset 54: a word"};
constexpr PropertyDef kFlags = {"Flags", T::kFlags, kFlagBits, "the dialog's options, a bit each",
                                "control block offset 68: a long"};
constexpr PropertyDef kFontBold = {"FontBold",
                                   T::kBoolean,
                                   {},
                                   "the font chosen is bold",
                                   "control block offset 36, the flag long: bit 0x01"};
constexpr PropertyDef kFontItalic = {"FontItalic",
                                     T::kBoolean,
                                     {},
                                     "the font chosen is italic",
                                     "control block offset 36, the flag long: bit 0x02"};
constexpr PropertyDef kFontName = {
    "FontName", T::kText, {}, "the font's face name", "a counted text, presence mask bit 0x10"};
constexpr PropertyDef kFontSize = {
    "FontSize",
    T::kFloat,
    {},
    "the font's size in points",
    "control block offset 72: a long, the bits of a single-precision number"};
constexpr PropertyDef kFontStrikeThru = {"FontStrikeThru",
                                         T::kBoolean,
                                         {},
                                         "the font chosen is struck through",
                                         "control block offset 36, the flag long: bit 0x04"};
constexpr PropertyDef kFontUnderLine = {"FontUnderLine",
                                        T::kBoolean,
                                        {},
                                        "the font chosen is underlined",
                                        "control block offset 36, the flag long: bit 0x08"};
constexpr PropertyDef kFromPage = {
    "FromPage", T::kInteger, {}, "the first page to print", "control block offset 40: a word"};
constexpr PropertyDef kHelpCommand = {"HelpCommand", T::kEnumerated, kHelpCommands,
                                      "the kind of help ShowHelp asks for",
                                      "control block offset 50: a word"};
constexpr PropertyDef kHelpContext = {
    "HelpContext", T::kInteger, {}, "the help topic's number", "control block offset 64: a long"};
constexpr PropertyDef kHelpFile = {
    "HelpFile", T::kText, {}, "the help file", "a counted text, presence mask bit 0x20"};
constexpr PropertyDef kHelpKey = {"HelpKey",
                                  T::kText,
                                  {},
                                  "the help topic's keyword",
                                  "a counted text, presence mask bit 0x80 (before InitDir)"};
constexpr PropertyDef kInitDir = {"InitDir",
                                  T::kText,
                                  {},
                                  "the folder shown first",
                                  "a counted text, presence mask bit 0x40 (after HelpKey)"};
constexpr PropertyDef kMax = {"Max",
                              T::kInteger,
                              {},
                              "the largest font size or page offered",
                              "control block offset 46: a word"};
constexpr PropertyDef kMin = {"Min",
                              T::kInteger,
                              {},
                              "the smallest font size or page offered",
                              "control block offset 44: a word"};
constexpr PropertyDef kMaxFileSize = {"MaxFileSize",
                                      T::kInteger,
                                      {},
                                      "the room for the file names chosen, in bytes",
                                      "control block offset 52: a word"};
constexpr PropertyDef kPrinterDefault = {"PrinterDefault",
                                         T::kBoolean,
                                         {},
                                         "whether the choices become the system's printer settings",
                                         "control block offset 36, the flag long: bit 0x20"};
constexpr PropertyDef kToPage = {
    "ToPage", T::kInteger, {}, "the last page to print", "control block offset 42: a word"};
constexpr PropertyDef kOrientation = {"Orientation", T::kEnumerated, kOrientations,
                                      "the paper's orientation", "control block offset 56: a long"};

constexpr PropertyEntry kOwn[] = {
    {&kCancelError}, {&kColor},       {&kCopies},      {&kDefaultExt},     {&kDialogTitle},
    {&kFileName},    {&kFilter},      {&kFilterIndex}, {&kFlags},          {&kFontBold},
    {&kFontItalic},  {&kFontName},    {&kFontSize},    {&kFontStrikeThru}, {&kFontUnderLine},
    {&kFromPage},    {&kHelpCommand}, {&kHelpContext}, {&kHelpFile},       {&kHelpKey},
    {&kInitDir},     {&kMax},         {&kMin},         {&kMaxFileSize},    {&kPrinterDefault},
    {&kToPage},      {&kOrientation}};

// A text of the presence mask: a long count of UTF-16 units and the units, when its bit is set.
void MaskedText(DecodeContext& ctx, unsigned mask, unsigned bit, std::string_view label,
                Read<std::string>& value) {
  if (((mask >> bit) & 1u) == 0) return;
  const double at = ctx.Position();
  value = ctx.ReadUtf16LowBytes(ctx.ReadLong());
  ctx.LineAt(at, label, value.value);
}

void ReadControlBlock(DecodeContext& ctx, State& s) {
  ReadExtentAndVersion(ctx, s.extent);
  ctx.ReadLong();
  // Flag long: six properties, one bit each of its low byte, all listed at its position.
  const Read<std::uint32_t> flags = ctx.ReadLong();
  s.FontBold = ctx.ListBit(flags, 1, "Font Bold: True", "Font Bold: False");
  s.FontItalic = ctx.ListBit(flags, 2, "Font Italic: True", "Font Italic: False");
  s.FontStrikeThru = ctx.ListBit(flags, 4, "Font Strikethru: True", "Font Strikethru: False");
  s.FontUnderLine = ctx.ListBit(flags, 8, "Font UnderLine: True", "Font UnderLine: False");
  s.CancelError = ctx.ListBit(flags, 16, "CancelError: True", "Cancel Error: False");
  s.PrinterDefault = ctx.ListBit(flags, 32, "Printer Default: True", "Printer Default: False");
  s.FromPage = ctx.ListWord("From Page: ");
  s.ToPage = ctx.ListWord("To Page: ");
  s.Min = ctx.ListWord("Min: ");
  s.Max = ctx.ListWord("Max: ");
  s.Copies = ctx.ListWord("Copies: ");
  s.HelpCommand = ctx.ListWord("Help Command: ");
  s.MaxFileSize = ctx.ListWord("Max FileSize: ");
  s.FilterIndex = ctx.ListWord("Filter Index: ");
  double at = ctx.Position();
  s.Orientation = ctx.ReadLong();
  ctx.LineAt(at,
             s.Orientation == 1 ? "Orientation: 1 - cdPortrait" : "Orientation: 2 - cdLandscape");
  ctx.ReadLong();
  s.HelpContext = ctx.ListLong("HelpContext: ");
  s.Flags = ctx.ListLong("Flags: ");
  at = ctx.Position();
  const Read<std::uint32_t> size = ctx.ReadLong();
  s.FontSizeBits = size;
  s.FontSize = {NumberText(LongToSingle(size)), size.from};
  ctx.LineAt(at, "Font Size: ", s.FontSize.value);
  at = ctx.Position();
  s.Color = ctx.ReadLong();
  ctx.LineAt(at, "Color: ", ColourChars(s.Color));
  // Presence mask (its low byte), then the texts whose bits are set; HelpKey (bit 7) comes
  // before InitDir (bit 6).
  const unsigned mask = ctx.ReadLong() & 0xFFu;
  MaskedText(ctx, mask, 0, "DefaultExt:", s.DefaultExt);
  MaskedText(ctx, mask, 1, "DialogTitle:", s.DialogTitle);
  MaskedText(ctx, mask, 2, "FileName:", s.FileName);
  MaskedText(ctx, mask, 3, "Filter:", s.Filter);
  MaskedText(ctx, mask, 4, "FontName:", s.FontName);
  MaskedText(ctx, mask, 5, "HelpFile:", s.HelpFile);
  MaskedText(ctx, mask, 7, "HelpKey:", s.HelpKey);
  MaskedText(ctx, mask, 6, "InitDir:", s.InitDir);
}

void WriteFlag(BlockWriter& out, const PropertyDef& def, const Read<bool>& flag) {
  out.Flag(def, flag, "-1 'True", "0 'False");
}

}  // namespace

DecodeEnd ReadStream(DecodeContext& ctx, State& s) {
  return ReadFrame(ctx, kProfile, s.ext, [&] { ReadControlBlock(ctx, s); });
}

void WriteBlock(BlockWriter& out, const State& s) {
  out.VersionLine();
  WriteIndexLeftTagTop(out, s.ext);
  WriteExtentAndVersion(out, s.extent);
  WriteFlag(out, kCancelError, s.CancelError);
  out.Number(kColor, s.Color);
  out.Number(kCopies, s.Copies);
  out.Quoted(kDefaultExt, s.DefaultExt);
  out.Quoted(kDialogTitle, s.DialogTitle);
  out.Quoted(kFileName, s.FileName);
  out.Quoted(kFilter, s.Filter);
  out.Number(kFilterIndex, s.FilterIndex);
  out.Number(kFlags, s.Flags);
  WriteFlag(out, kFontBold, s.FontBold);
  WriteFlag(out, kFontItalic, s.FontItalic);
  out.Quoted(kFontName, s.FontName);
  if (s.FontSize.Held()) {
    out.Shown(kFontSize, s.FontSize.value, LongToSingle(s.FontSizeBits), s.FontSize.from);
  } else {
    out.Shown(kFontSize, "", {}, {});
  }
  WriteFlag(out, kFontStrikeThru, s.FontStrikeThru);
  WriteFlag(out, kFontUnderLine, s.FontUnderLine);
  out.Number(kFromPage, s.FromPage);
  out.Number(kHelpCommand, s.HelpCommand);
  out.Number(kHelpContext, s.HelpContext);
  out.Quoted(kHelpFile, s.HelpFile);
  out.Quoted(kHelpKey, s.HelpKey);
  out.Quoted(kInitDir, s.InitDir);
  out.Number(kMax, s.Max);
  out.Number(kMin, s.Min);
  out.Number(kMaxFileSize, s.MaxFileSize);
  WriteFlag(out, kPrinterDefault, s.PrinterDefault);
  out.Number(kToPage, s.ToPage);
  out.Number(kOrientation, s.Orientation);
}

std::span<const PropertyEntry> Properties() {
  static const std::vector<PropertyEntry> all =
      JoinedEntries({kIndexLeftTagTop, kExtentAndVersion, kOwn});
  return all;
}

}  // namespace tvx::commondialog
