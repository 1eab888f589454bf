#include "commondialog/commondialog_decoder.h"

#include <cstdint>
#include <iterator>
#include <string_view>

#include "tvx/text.h"

namespace tvx {

const DeliverableInfo CommonDialogDecoder::kInfo = {"STDPICK.Picker", "CommonDialog",
                                                    "Tevo Support Library (CommonDialog)", 18};

namespace {

const ExtenderProfile kProfile = {
    .sectionA = Codes({1, 11}),
    .sectionB = Codes({57, 58}),
    .stopLine = "COMMONDIALOG Parse Error",
};

constexpr std::string_view kTrue = "-1 'True";
constexpr std::string_view kFalse = "0 'False";

// The low 8 bits of a long as read; only they carry meaning in the flag long and the mask.
unsigned LowByte(double value) {
  return static_cast<std::uint32_t>(value) & 0xFFu;
}

}  // namespace

// Every variable back to its new-process value: numbers 0, texts empty, extender values absent.
void CommonDialogDecoder::InitProperties() {
  *this = CommonDialogDecoder{};
}

void CommonDialogDecoder::ParseControl(DecodeContext& ctx) {
  if (ReadSectionA(ctx, kProfile, ext_) != SectionEnd::kEndCode) return;
  ReadControlBlock(ctx);
  ReadSectionB(ctx, kProfile, ext_);
}

void CommonDialogDecoder::ReadControlBlock(DecodeContext& ctx) {
  for (int i = 0; i < 16; ++i)
    ctx.GetByte();  // header
  ExtentX = ctx.GetLong();
  ExtentY = ctx.GetLong();
  ctx.GetLong();
  Version = NumberText(ctx.GetLong());
  ctx.GetLong();

  // Flag long: six properties, one bit each, all listed at the position of the long.
  struct FlagBit {
    std::string* value;
    std::string_view setLine;
    std::string_view clearLine;
  };
  const FlagBit flagBits[] = {
      {&FontBold, "Font Bold: True", "Font Bold: False"},
      {&FontItalic, "Font Italic: True", "Font Italic: False"},
      {&FontStrikeThru, "Font Strikethru: True", "Font Strikethru: False"},
      {&FontUnderLine, "Font UnderLine: True", "Font UnderLine: False"},
      {&CancelError, "CancelError: True", "Cancel Error: False"},
      {&PrinterDefault, "Printer Default: True", "Printer Default: False"},
  };
  ctx.MarkOffset();
  const unsigned flags = LowByte(ctx.GetLong());
  for (std::size_t bit = 0; bit < std::size(flagBits); ++bit) {
    const bool set = (flags >> bit) & 1u;
    *flagBits[bit].value = set ? kTrue : kFalse;
    ctx.LineWithOffset(set ? flagBits[bit].setLine : flagBits[bit].clearLine);
  }

  struct WordItem {
    double* value;
    std::string_view label;
  };
  const WordItem words[] = {
      {&FromPage, "From Page: "},
      {&ToPage, "To Page: "},
      {&Min, "Min: "},
      {&Max, "Max: "},
      {&Copies, "Copies: "},
      {&HelpCommand, "Help Command: "},
      {&MaxFileSize, "Max FileSize: "},
      {&FilterIndex, "Filter Index: "},
  };
  for (const WordItem& item : words) {
    ctx.MarkOffset();
    *item.value = ctx.GetWord();
    ctx.LineWithOffset(item.label, NumberChars(*item.value));
  }

  ctx.MarkOffset();
  Orientation = ctx.GetLong();
  ctx.LineWithOffset(Orientation == 1 ? "Orientation: 1 - cdPortrait"
                                      : "Orientation: 2 - cdLandscape");

  ctx.GetLong();

  ctx.MarkOffset();
  HelpContext = ctx.GetLong();
  ctx.LineWithOffset("HelpContext: ", NumberChars(HelpContext));

  ctx.MarkOffset();
  Flags = ctx.GetLong();
  ctx.LineWithOffset("Flags: ", NumberChars(Flags));

  ctx.MarkOffset();
  FontSize = NumberText(LongToSingle(ctx.GetLong()));
  ctx.LineWithOffset("Font Size: ", FontSize);

  ctx.MarkOffset();
  Color = ctx.GetLong();
  ctx.LineWithOffset("Color: ", ColourChars(Color));

  // Presence mask, then the texts whose bits are set, each a long count and UTF-16 units.
  // HelpKey (bit 7) comes before InitDir (bit 6).
  struct MaskText {
    unsigned bit;
    std::string* value;
    std::string_view label;
  };
  const MaskText texts[] = {
      {0, &DefaultExt, "DefaultExt:"}, {1, &DialogTitle, "DialogTitle:"},
      {2, &FileName, "FileName:"},     {3, &Filter, "Filter:"},
      {4, &FontName, "FontName:"},     {5, &HelpFile, "HelpFile:"},
      {7, &HelpKey, "HelpKey:"},       {6, &InitDir, "InitDir:"},
  };
  ctx.MarkOffset();
  const unsigned mask = LowByte(ctx.GetLong());
  for (const MaskText& text : texts) {
    if (((mask >> text.bit) & 1u) == 0) continue;
    ctx.MarkOffset();
    const double units = ctx.GetLong();
    *text.value = ctx.GetUnicodeStringWLen(units);
    ctx.LineWithOffset(text.label, *text.value);
  }
}

void CommonDialogDecoder::WriteToFile(BlockWriter& out) const {
  out.VersionLine();
  out.NumberIfSet("Index", ext_.Index);
  out.NumberIfSet("Left", ext_.Left);
  out.QuotedIfSet("Tag", ext_.Tag);
  out.NumberIfSet("Top", ext_.Top);
  out.Number("_ExtentX", ExtentX);
  out.Number("_ExtentY", ExtentY);
  out.Text("_Version", Version);
  out.Text("CancelError", CancelError);
  out.Number("Color", Color);
  out.Number("Copies", Copies);
  out.Quoted("DefaultExt", DefaultExt);
  out.Quoted("DialogTitle", DialogTitle);
  out.Quoted("FileName", FileName);
  out.Quoted("Filter", Filter);
  out.Number("FilterIndex", FilterIndex);
  out.Number("Flags", Flags);
  out.Text("FontBold", FontBold);
  out.Text("FontItalic", FontItalic);
  out.Quoted("FontName", FontName);
  out.Text("FontSize", FontSize);
  out.Text("FontStrikeThru", FontStrikeThru);
  out.Text("FontUnderLine", FontUnderLine);
  out.Number("FromPage", FromPage);
  out.Number("HelpCommand", HelpCommand);
  out.Number("HelpContext", HelpContext);
  out.Quoted("HelpFile", HelpFile);
  out.Quoted("HelpKey", HelpKey);
  out.Quoted("InitDir", InitDir);
  out.Number("Max", Max);
  out.Number("Min", Min);
  out.Number("MaxFileSize", MaxFileSize);
  out.Text("PrinterDefault", PrinterDefault);
  out.Number("ToPage", ToPage);
  out.Number("Orientation", Orientation);
}

}  // namespace tvx
