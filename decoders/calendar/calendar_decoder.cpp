// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
#include "calendar/calendar_decoder.h"

#include <cmath>
#include <cstdint>
#include <string_view>

#include "calendar/dataformat.h"
#include "tvx/extender.h"
#include "tvx/text.h"

namespace tvx::calendar {

namespace {

// Code 41, DataFormat, is known too: ReadStream reads it.
using Code = ExtenderCode;
constexpr ExtenderProfile kProfile = {
    .sectionA =
        SectionA({Code::kIndex, Code::kPositionAndSize, Code::kVisible, Code::kDragMode,
                  Code::kDragIcon, Code::kTag, Code::kTabStop, Code::kTabIndex, Code::kDataMember}),
    .sectionB =
        SectionB({Code::kHelpContextID, Code::kDataField, Code::kDataSource, Code::kPassedOver,
                  Code::kWhatsThisHelpID, Code::kCausesValidation, Code::kToolTipText}),
    .falseText = "0   'False",
    .automaticText = "1  'Automatic",
    .dragModeLine = "DragMode: 1 - vbAutomatic",
    .quoteListingTexts = true,
    .tabIndexSigned16 = true,
    .stopLine = "CALENDAR Parse Error",
};

constexpr std::uint32_t kColourThreshold = 2147483647;
constexpr std::uint32_t kAllBitsSet = 4294967295;
constexpr std::string_view kFlagSeparator = "'    ";
constexpr std::uint64_t kFontsAfterShortGap = 338;
constexpr std::uint64_t kFontsAfterLongGap = 594;
constexpr std::uint32_t kShortGap = 256;
constexpr std::uint32_t kLongGap = 512;

// Where three font records starting at `offset` would end; a length byte past the end of the
// file counts as 0. The reader does not move.
std::uint64_t FontsEnd(StreamReader& blockStart, std::uint64_t offset) {
  for (int i = 0; i < 3; ++i)
    offset += 11 + blockStart.PeekByte(offset + 10);
  return offset;
}

std::string_view Word(bool value) {
  return value ? "True" : "False";
}

// A colour field: listed as "&H" + eight hex digits + "&", stored signed.
std::int64_t ReadColour(DecodeContext& ctx, std::string_view label) {
  const std::uint32_t raw = ctx.ReadLong();
  ctx.Line(label, ": ", ColourChars(raw));
  return SignedColour(raw, kColourThreshold);
}

// A Show flag: 0 is False (0), anything else True (-1).
std::string ReadFlag(DecodeContext& ctx, std::string_view label) {
  const bool set = ctx.ReadLong() != 0;
  ctx.Line(label, ": ", Word(set));
  std::string stored(set ? "-1" : "0");
  stored.append(kFlagSeparator);
  stored.append(Word(set));
  return stored;
}

std::string_view DayLengthText(std::uint16_t value) {
  if (value == 1) return "Medium";
  if (value == 2) return "Long";
  return "Short";
}

std::string_view FirstDayText(std::uint16_t value) {
  static constexpr std::string_view kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                               "Thursday", "Friday", "Saturday"};
  if (value >= 2 && value <= 7) return kDays[value - 1];
  return kDays[0];
}

std::string_view MonthLengthText(std::uint16_t value) {
  return value == 2 ? "Long" : "Short";
}

std::string_view GridCellEffectText(std::uint32_t value) {
  if (value == 0) return "Flat";
  if (value == 2) return "Sunken";
  return "Raised";
}

std::string_view StyleText(bool set) {
  return set ? "-1    'True" : "0    'False";
}

void ReadFont(DecodeContext& ctx, std::string_view name, Font& font) {
  const std::uint32_t bits = ctx.ReadLong();
  font.Charset = (bits >> 8) & 0xFFFF;
  const bool strikethrough = (bits & 0x08000000) != 0;
  const bool underline = (bits & 0x04000000) != 0;
  const bool italic = (bits & 0x02000000) != 0;
  font.Weight = ctx.ReadWord();
  const double size = ctx.ReadLong();
  font.Name = ctx.ReadText(ctx.ReadByte());
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

void WriteFont(BlockWriter& out, std::string_view name, const Font& font) {
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

std::uint32_t ControlBlockGap(StreamReader& blockStart) {
  const std::uint64_t end = 8 + std::uint64_t{blockStart.PeekLong(4)};
  if (FontsEnd(blockStart, kFontsAfterShortGap) != end &&
      FontsEnd(blockStart, kFontsAfterLongGap) == end) {
    return kLongGap;
  }
  return kShortGap;
}

namespace {

void ReadControlBlock(DecodeContext& ctx, State& p) {
  const std::uint32_t gap = ControlBlockGap(ctx.In());
  for (int i = 0; i < 4; ++i)
    ctx.ReadWord();  // header, not interpreted
  p.Version = ctx.ReadLong();
  p.ExtentX = ctx.ReadLong();
  p.ExtentY = ctx.ReadLong();
  p.Year = ctx.ReadWord();
  ctx.Line("Year: ", NumberChars(p.Year));
  p.Month = ctx.ReadWord();
  ctx.Line("Month: ", NumberChars(p.Month));
  p.Day = ctx.ReadWord();
  ctx.Line("Day: ", NumberChars(p.Day));
  p.BackColor = ReadColour(ctx, "BackColor");
  p.DayFontColor = ReadColour(ctx, "DayFontColor");
  p.GridFontColor = ReadColour(ctx, "GridFontColor");
  p.GridLinesColor = ReadColour(ctx, "GridLinesColor");
  p.TitleFontColor = ReadColour(ctx, "TitleFontColor");
  const std::uint16_t dayLength = ctx.ReadWord();
  p.DayLength = NumberText(dayLength);
  ctx.Line("DayLength: ", DayLengthText(dayLength));
  const std::uint16_t firstDay = ctx.ReadWord();
  p.FirstDay = NumberText(firstDay);
  ctx.Line("FirstDay: ", FirstDayText(firstDay));
  p.MonthLength = ctx.ReadWord();
  ctx.Line("MonthLength: ", MonthLengthText(p.MonthLength));
  ctx.ReadWord();  // not interpreted
  const std::uint32_t gridCellEffect = ctx.ReadLong();
  p.GridCellEffect = NumberText(gridCellEffect);
  ctx.Line("GridCellEffect: ", GridCellEffectText(gridCellEffect));
  p.ShowDateSelectors = ReadFlag(ctx, "ShowDateSelectors");
  p.ShowDays = ReadFlag(ctx, "ShowDays");
  p.ShowHorizontalGrid = ReadFlag(ctx, "ShowHorizontalGrid");
  p.ShowTitle = ReadFlag(ctx, "ShowTitle");
  p.ShowVerticalGrid = ReadFlag(ctx, "ShowVerticalGrid");
  const std::uint32_t isNull = ctx.ReadLong();
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
  ctx.Skip(gap, ReadKind::kControlBlockGap);
}

}  // namespace

DecodeEnd ReadStream(DecodeContext& ctx, State& p) {
  const auto dataFormat = [&] {
    p.DataFormat.DataFormatPresent = 1;
    ParseDataFormat(ctx, p.DataFormat);
    WriteDataFormatListing(ctx.Out(), p.DataFormat);
  };
  const auto controlBlock = [&] {
    ReadControlBlock(ctx, p);
    ReadFont(ctx, "DayFont", p.DayFont);
    ReadFont(ctx, "GridFont", p.GridFont);
    ReadFont(ctx, "TitleFont", p.TitleFont);
  };
  return ReadFrame(ctx, kProfile, p.ext, controlBlock, dataFormat);
}

void WriteBlock(BlockWriter& out, const State& p) {
  out.VersionLine();
  WriteVisibleControl(out, p.ext, [&] {
    out.QuotedIfSet("DataField", p.ext.DataField);
    WriteDataFormatBlock(out, p.DataFormat);
    out.QuotedIfSet("DataMember", p.ext.DataMember);
    out.QuotedIfSet("DataSource", p.ext.DataSource);
  });
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

}  // namespace tvx::calendar
