#include "calendar/calendar_decoder.h"

#include <cmath>
#include <cstdint>
#include <string_view>

#include "tvx/text.h"

namespace tvx {

const DeliverableInfo CalendarDecoder::kInfo = {"DTGRID.Almanac", "Calendar",
                                                "Tevo Support Library (Calendar)", 19};

namespace {

const ExtenderProfile kProfile = {
    .sectionA = Codes({1, 3, 7, 9, 10, 11, 14, 15, 41, 42}),
    .sectionB = Codes({50, 66, 67, 68, 70, 72, 74}),
    .falseText = "0   'False",
    .automaticText = "1  'Automatic",
    .dragModeLine = "DragMode: 1 - vbAutomatic",
    .quoteListingTexts = true,
    .tabIndexSigned16 = true,
    .stopLine = "CALENDAR Parse Error",
};

constexpr double kColourThreshold = 2147483647;
constexpr double kAllBitsSet = 4294967295;
constexpr std::string_view kFlagSeparator = "'    ";
constexpr double kFontsAfterShortGap = 338;
constexpr double kFontsAfterLongGap = 594;
constexpr double kShortGap = 256;
constexpr double kLongGap = 512;

// Where three font records starting at `offset` would end; a length byte past the end of the
// file counts as 0. The reader does not move.
double FontsEnd(StreamReader& blockStart, double offset) {
  for (int i = 0; i < 3; ++i) {
    const double nameLength = blockStart.PeekByte(static_cast<std::uint64_t>(offset) + 10);
    offset += 11 + nameLength;
  }
  return offset;
}

std::string_view Word(bool value) {
  return value ? "True" : "False";
}

// A colour field: listed as "&H" + eight hex digits + "&", stored signed.
double ReadColour(DecodeContext& ctx, std::string_view label) {
  const double raw = ctx.GetLong();
  ctx.Line(label, ": ", ColourChars(raw));
  return SignedColour(raw, kColourThreshold);
}

// A Show flag: 0 is False (0), anything else True (-1).
std::string ReadFlag(DecodeContext& ctx, std::string_view label) {
  const bool set = ctx.GetLong() != 0;
  ctx.Line(label, ": ", Word(set));
  std::string stored(set ? "-1" : "0");
  stored.append(kFlagSeparator);
  stored.append(Word(set));
  return stored;
}

std::string_view DayLengthText(double value) {
  if (value == 1) return "Medium";
  if (value == 2) return "Long";
  return "Short";
}

std::string_view FirstDayText(double value) {
  static constexpr std::string_view kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                               "Thursday", "Friday", "Saturday"};
  if (value >= 2 && value <= 7) return kDays[static_cast<int>(value) - 1];
  return kDays[0];
}

std::string_view MonthLengthText(double value) {
  return value == 2 ? "Long" : "Short";
}

std::string_view GridCellEffectText(double value) {
  if (value == 0) return "Flat";
  if (value == 2) return "Sunken";
  return "Raised";
}

std::string_view StyleText(bool set) {
  return set ? "-1    'True" : "0    'False";
}

void ReadFont(DecodeContext& ctx, std::string_view name, CalendarFont& font) {
  const double first = ctx.GetLong();
  const auto bits = static_cast<std::uint32_t>(first);
  font.Charset = static_cast<double>((bits >> 8) & 0xFFFF);
  const bool strikethrough = (bits & 0x08000000) != 0;
  const bool underline = (bits & 0x04000000) != 0;
  const bool italic = (bits & 0x02000000) != 0;
  font.Weight = ctx.GetWord();
  const double size = ctx.GetLong();
  const double nameLength = ctx.GetByte();
  font.Name = ctx.GetDOSStringWLen(nameLength);
  font.Strikethrough = StyleText(strikethrough);
  font.Underline = StyleText(underline);
  font.Italic = StyleText(italic);
  font.Size = NumberText(size / 10000);
  ctx.Line(name, " Strikeout: ", Word(strikethrough));
  ctx.Line(name, " Underline: ", Word(underline));
  ctx.Line(name, " Italic: ", Word(italic));
  ctx.Line(name, " Bold: ", Word(font.Weight == 700));
  ctx.Line(name, " Size: ", NumberChars(std::floor(size / 10000 + 0.5)));
  ctx.Line(name, " Name: ", font.Name);
}

void WriteFont(BlockWriter& out, std::string_view name, const CalendarFont& font) {
  out.Raw("BeginProperty ", name);
  out.Raw("    Name               = ", QuotedValue(font.Name));
  out.Raw("    Size               = ", font.Size);
  out.Raw("    Charset            = ", NumberChars(font.Charset));
  out.Raw("    Weight             = ", NumberChars(font.Weight));
  out.Raw("    Underline          = ", font.Underline);
  out.Raw("    Italic             = ", font.Italic);
  out.Raw("    Strikethrough      = ", font.Strikethrough);
  out.Raw("EndProperty");
}

}  // namespace

double ControlBlockGap(StreamReader& blockStart) {
  const double end = 8 + static_cast<double>(blockStart.PeekLong(4));
  if (FontsEnd(blockStart, kFontsAfterShortGap) != end &&
      FontsEnd(blockStart, kFontsAfterLongGap) == end) {
    return kLongGap;
  }
  return kShortGap;
}

void CalendarDecoder::InitProperties() {
  // Every run starts from new-process values, the DataFormat record included.
  props_ = CalendarProperties{};
  FillDefaultDataFormat(props_.DataFormat);
}

void CalendarDecoder::ReadControlBlock(DecodeContext& ctx) {
  CalendarProperties& p = props_;
  const double gap = ControlBlockGap(ctx.In());
  for (int i = 0; i < 4; ++i)
    ctx.GetWord();  // header, not interpreted
  p.Version = ctx.GetLong();
  p.ExtentX = ctx.GetLong();
  p.ExtentY = ctx.GetLong();
  p.Year = ctx.GetWord();
  ctx.Line("Year: ", NumberChars(p.Year));
  p.Month = ctx.GetWord();
  ctx.Line("Month: ", NumberChars(p.Month));
  p.Day = ctx.GetWord();
  ctx.Line("Day: ", NumberChars(p.Day));
  p.BackColor = ReadColour(ctx, "BackColor");
  p.DayFontColor = ReadColour(ctx, "DayFontColor");
  p.GridFontColor = ReadColour(ctx, "GridFontColor");
  p.GridLinesColor = ReadColour(ctx, "GridLinesColor");
  p.TitleFontColor = ReadColour(ctx, "TitleFontColor");
  const double dayLength = ctx.GetWord();
  p.DayLength = NumberText(dayLength);
  ctx.Line("DayLength: ", DayLengthText(dayLength));
  const double firstDay = ctx.GetWord();
  p.FirstDay = NumberText(firstDay);
  ctx.Line("FirstDay: ", FirstDayText(firstDay));
  p.MonthLength = ctx.GetWord();
  ctx.Line("MonthLength: ", MonthLengthText(p.MonthLength));
  ctx.GetWord();  // not interpreted
  const double gridCellEffect = ctx.GetLong();
  p.GridCellEffect = NumberText(gridCellEffect);
  ctx.Line("GridCellEffect: ", GridCellEffectText(gridCellEffect));
  p.ShowDateSelectors = ReadFlag(ctx, "ShowDateSelectors");
  p.ShowDays = ReadFlag(ctx, "ShowDays");
  p.ShowHorizontalGrid = ReadFlag(ctx, "ShowHorizontalGrid");
  p.ShowTitle = ReadFlag(ctx, "ShowTitle");
  p.ShowVerticalGrid = ReadFlag(ctx, "ShowVerticalGrid");
  const double isNull = ctx.GetLong();
  const bool null = isNull == kAllBitsSet;
  p.ValueIsNull = null ? std::string("-1") : NumberText(isNull);
  p.ValueIsNull.append(kFlagSeparator);
  p.ValueIsNull.append(Word(null));
  ctx.Line("ValueIsNull: ", Word(null));
  if (null) {
    ctx.Line("Value: (NULL)");
  } else {
    ctx.Line("Value: ", NumberChars(p.Month), "\\", NumberChars(p.Day), "\\", NumberChars(p.Year));
  }
  ctx.Skip(gap, "control block gap");
}

void CalendarDecoder::ParseControl(DecodeContext& ctx) {
  CalendarProperties& p = props_;
  const auto dataFormat = [&ctx, &p] {
    p.DataFormat.DataFormatPresent = 1;
    ParseDataFormat(ctx, p.DataFormat);
    WriteDataFormatListing(ctx.Out(), p.DataFormat);
  };
  if (ReadSectionA(ctx, kProfile, p.ext, dataFormat) != SectionEnd::kEndCode) return;
  ReadControlBlock(ctx);
  ReadFont(ctx, "DayFont", p.DayFont);
  ReadFont(ctx, "GridFont", p.GridFont);
  ReadFont(ctx, "TitleFont", p.TitleFont);
  ReadSectionB(ctx, kProfile, p.ext);
}

void CalendarDecoder::WriteToFile(BlockWriter& out) const {
  const CalendarProperties& p = props_;
  const ExtenderProperties& e = p.ext;
  out.VersionLine();
  out.TextIfSet("CausesValidation", e.CausesValidation);
  out.QuotedIfSet("DataField", e.DataField);
  WriteDataFormatBlock(out, p.DataFormat);
  out.QuotedIfSet("DataMember", e.DataMember);
  out.QuotedIfSet("DataSource", e.DataSource);
  out.TextIfSet("DragIcon", e.DragIcon);
  out.TextIfSet("DragMode", e.DragMode);
  out.Number("Height", e.Height);
  out.NumberIfSet("HelpContextID", e.HelpContextID);
  out.NumberIfSet("Index", e.Index);
  out.Number("Left", e.Left);
  out.Number("TabIndex", e.TabIndex);
  out.TextIfSet("TabStop", e.TabStop);
  out.QuotedIfSet("Tag", e.Tag);
  out.QuotedIfSet("ToolTipText", e.ToolTipText);
  out.Number("Top", e.Top);
  out.TextIfSet("Visible", e.Visible);
  out.NumberIfSet("WhatsThisHelpID", e.WhatsThisHelpID);
  out.Number("Width", e.Width);
  out.Number("_Version", p.Version);
  out.Number("_ExtentX", p.ExtentX);
  out.Number("_ExtentY", p.ExtentY);
  out.Number("BackColor", p.BackColor);
  out.Number("Year", p.Year);
  out.Number("Month", p.Month);
  out.Number("Day", p.Day);
  out.Text("DayLength", p.DayLength);
  out.Number("MonthLength", p.MonthLength);
  out.Number("DayFontColor", p.DayFontColor);
  out.Text("FirstDay", p.FirstDay);
  out.Text("GridCellEffect", p.GridCellEffect);
  out.Number("GridFontColor", p.GridFontColor);
  out.Number("GridLinesColor", p.GridLinesColor);
  out.Text("ShowDateSelectors", p.ShowDateSelectors);
  out.Text("ShowDays", p.ShowDays);
  out.Text("ShowHorizontalGrid", p.ShowHorizontalGrid);
  out.Text("ShowTitle", p.ShowTitle);
  out.Text("ShowVerticalGrid", p.ShowVerticalGrid);
  out.Number("TitleFontColor", p.TitleFontColor);
  out.Text("ValueIsNull", p.ValueIsNull);
  WriteFont(out, "DayFont", p.DayFont);
  WriteFont(out, "GridFont", p.GridFont);
  WriteFont(out, "TitleFont", p.TitleFont);
}

}  // namespace tvx
