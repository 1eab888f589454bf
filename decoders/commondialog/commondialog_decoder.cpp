// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
#include "commondialog/commondialog_decoder.h"

#include <cstdint>
#include <string_view>

#include "tvx/extender.h"
#include "tvx/text.h"

namespace tvx::commondialog {

namespace {

constexpr ExtenderProfile kProfile = IndexTagLeftTop("COMMONDIALOG Parse Error");

// What the flag long's bits store.
constexpr DecodeContext::StoredTexts kTrueFalse = {"-1 'True", "0 'False"};

// A text of the presence mask: a long count of UTF-16 units and the units, when its bit is set.
void MaskedText(DecodeContext& ctx, unsigned mask, unsigned bit, std::string_view label,
                std::string& value) {
  if (((mask >> bit) & 1u) == 0) return;
  const double at = ctx.Position();
  value = ctx.ReadUtf16LowBytes(ctx.ReadLong());
  ctx.LineAt(at, label, value);
}

void ReadControlBlock(DecodeContext& ctx, State& s) {
  ReadExtentAndVersion(ctx, s.extent);
  ctx.ReadLong();
  // Flag long: six properties, one bit each of its low byte, all listed at its position.
  double at = ctx.Position();
  const std::uint32_t flags = ctx.ReadLong();
  const auto bit = [&](unsigned mask, std::string_view setLine, std::string_view clearLine) {
    return ctx.ListBit(at, (flags & mask) != 0, setLine, clearLine, kTrueFalse);
  };
  s.FontBold = bit(1, "Font Bold: True", "Font Bold: False");
  s.FontItalic = bit(2, "Font Italic: True", "Font Italic: False");
  s.FontStrikeThru = bit(4, "Font Strikethru: True", "Font Strikethru: False");
  s.FontUnderLine = bit(8, "Font UnderLine: True", "Font UnderLine: False");
  s.CancelError = bit(16, "CancelError: True", "Cancel Error: False");
  s.PrinterDefault = bit(32, "Printer Default: True", "Printer Default: False");
  s.FromPage = ctx.ListWord("From Page: ");
  s.ToPage = ctx.ListWord("To Page: ");
  s.Min = ctx.ListWord("Min: ");
  s.Max = ctx.ListWord("Max: ");
  s.Copies = ctx.ListWord("Copies: ");
  s.HelpCommand = ctx.ListWord("Help Command: ");
  s.MaxFileSize = ctx.ListWord("Max FileSize: ");
  s.FilterIndex = ctx.ListWord("Filter Index: ");
  at = ctx.Position();
  s.Orientation = ctx.ReadLong();
  ctx.LineAt(at,
             s.Orientation == 1 ? "Orientation: 1 - cdPortrait" : "Orientation: 2 - cdLandscape");
  ctx.ReadLong();
  s.HelpContext = ctx.ListLong("HelpContext: ");
  s.Flags = ctx.ListLong("Flags: ");
  at = ctx.Position();
  s.FontSize = NumberText(LongToSingle(ctx.ReadLong()));
  ctx.LineAt(at, "Font Size: ", s.FontSize);
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

}  // namespace

DecodeEnd ReadStream(DecodeContext& ctx, State& s) {
  return ReadFrame(ctx, kProfile, s.ext, [&] { ReadControlBlock(ctx, s); });
}

void WriteBlock(BlockWriter& out, const State& s) {
  out.VersionLine();
  WriteIndexLeftTagTop(out, s.ext);
  WriteExtentAndVersion(out, s.extent);
  out.Text("CancelError", s.CancelError);
  out.Number("Color", s.Color);
  out.Number("Copies", s.Copies);
  out.Quoted("DefaultExt", s.DefaultExt);
  out.Quoted("DialogTitle", s.DialogTitle);
  out.Quoted("FileName", s.FileName);
  out.Quoted("Filter", s.Filter);
  out.Number("FilterIndex", s.FilterIndex);
  out.Number("Flags", s.Flags);
  out.Text("FontBold", s.FontBold);
  out.Text("FontItalic", s.FontItalic);
  out.Quoted("FontName", s.FontName);
  out.Text("FontSize", s.FontSize);
  out.Text("FontStrikeThru", s.FontStrikeThru);
  out.Text("FontUnderLine", s.FontUnderLine);
  out.Number("FromPage", s.FromPage);
  out.Number("HelpCommand", s.HelpCommand);
  out.Number("HelpContext", s.HelpContext);
  out.Quoted("HelpFile", s.HelpFile);
  out.Quoted("HelpKey", s.HelpKey);
  out.Quoted("InitDir", s.InitDir);
  out.Number("Max", s.Max);
  out.Number("Min", s.Min);
  out.Number("MaxFileSize", s.MaxFileSize);
  out.Text("PrinterDefault", s.PrinterDefault);
  out.Number("ToPage", s.ToPage);
  out.Number("Orientation", s.Orientation);
}

}  // namespace tvx::commondialog
