// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
#include "calendar/calendar_decoder.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/calendar_properties.h"
#include "calendar/dataformat.h"
#include "tvx/extender.h"
#include "tvx/font.h"
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

// A colour field: listed as "&H" + eight hex digits + "&"; the long as read.
Read<std::uint32_t> ReadColour(DecodeContext& ctx, std::string_view label) {
  const Read<std::uint32_t> raw = ctx.ReadLong();
  ctx.Line(label, ": ", ColourChars(raw));
  return raw;
}

// A Show flag: 0 is False (0), anything else True (-1); the long as read.
Read<std::uint32_t> ReadFlag(DecodeContext& ctx, std::string_view label) {
  const Read<std::uint32_t> raw = ctx.ReadLong();
  ctx.Line(label, ": ", Word(raw != 0));
  return raw;
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

// The font groups' lines: four blanks, the name padded so that "=" stands in column 24.
constexpr FontGroupStyle kFontStyle = {.indent = 4,
                                       .width = 19,
                                       .trueText = "-1    'True",
                                       .falseText = "0    'False",
                                       .unreadSizeEmpty = true};

void ReadFont(DecodeContext& ctx, std::string_view name, FontRecord& font) {
  const double at = ctx.Position();
  const std::uint32_t bits = ctx.ReadLong();
  font.Charset = {(bits >> 8) & 0xFFFF, Source(at + 1, 2)};
  const Source attributes(at + 3, 1);
  font.Strikethrough = {(bits & 0x08000000) != 0, attributes};
  font.Underline = {(bits & 0x04000000) != 0, attributes};
  font.Italic = {(bits & 0x02000000) != 0, attributes};
  font.Weight = ctx.ReadWord();
  font.Size = ctx.ReadLong();
  font.Name = ctx.ReadText(ctx.ReadByte());
  font.record = ctx.Since(at);
  const double size = font.Size;
  ctx.Line(name, " Strikeout: ", Word(font.Strikethrough));
  ctx.Line(name, " Underline: ", Word(font.Underline));
  ctx.Line(name, " Italic: ", Word(font.Italic));
  ctx.Line(name, " Bold: ", Word(font.Weight == 700));
  ctx.Line(name, " Size: ", NumberChars(std::floor(size / 10000 + 0.5)));
  ctx.Line(name, " Name: ", font.Name.value);
}

// A colour: the long as read, written signed.
void WriteColour(BlockWriter& out, const PropertyDef& def, const Read<std::uint32_t>& raw) {
  out.Number(def, static_cast<double>(SignedColour(raw, kColourThreshold)), raw);
}

// A Show flag or ValueIsNull: the number, "'    " and the word; empty until read.
void WriteFlag(BlockWriter& out, const PropertyDef& def, const Read<std::uint32_t>& raw,
               bool isNull = false) {
  if (!raw.Held()) {
    out.Shown(def, "", {}, {});
    return;
  }
  const bool set = isNull ? raw == kAllBitsSet : raw != 0;
  const std::int64_t number = set ? -1 : isNull ? std::int64_t{raw.value} : 0;
  std::string shown = NumberText(static_cast<double>(number));
  shown.append(kFlagSeparator);
  shown.append(Word(set));
  out.Shown(def, shown, set, raw.from,
            number != raw.value ? std::optional<std::int64_t>(raw.value) : std::nullopt);
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
  p.DayLength = ctx.ReadWord();
  ctx.Line("DayLength: ", DayLengthText(p.DayLength));
  p.FirstDay = ctx.ReadWord();
  ctx.Line("FirstDay: ", FirstDayText(p.FirstDay));
  p.MonthLength = ctx.ReadWord();
  ctx.Line("MonthLength: ", MonthLengthText(p.MonthLength));
  ctx.ReadWord();  // not interpreted
  p.GridCellEffect = ctx.ReadLong();
  ctx.Line("GridCellEffect: ", GridCellEffectText(p.GridCellEffect));
  p.ShowDateSelectors = ReadFlag(ctx, "ShowDateSelectors");
  p.ShowDays = ReadFlag(ctx, "ShowDays");
  p.ShowHorizontalGrid = ReadFlag(ctx, "ShowHorizontalGrid");
  p.ShowTitle = ReadFlag(ctx, "ShowTitle");
  p.ShowVerticalGrid = ReadFlag(ctx, "ShowVerticalGrid");
  p.ValueIsNull = ctx.ReadLong();
  const bool null = p.ValueIsNull == kAllBitsSet;
  ctx.Line("ValueIsNull: ", Word(null));
  if (null) {
    ctx.Line("Value: (NULL)");
  } else {
    ctx.Line("Value: ", NumberChars(p.Month), "\\", NumberChars(p.Day), "\\", NumberChars(p.Year));
  }
  ctx.Skip(gap, ReadKind::kControlBlockGap);
}

// The control block's properties, in the block's order.
constexpr PropertyEntry kControlBlock[] = {
    {&kVersion},
    {&kExtentX},
    {&kExtentY},
    {&kBackColor},
    {&kYear},
    {&kMonth},
    {&kDay},
    {&kDayLength},
    {&kMonthLength},
    {&kDayFontColor},
    {&kFirstDay},
    {&kGridCellEffect},
    {&kGridFontColor},
    {&kGridLinesColor},
    {&kShowDateSelectors},
    {&kShowDays},
    {&kShowHorizontalGrid},
    {&kShowTitle},
    {&kShowVerticalGrid},
    {&kTitleFontColor},
    {&kValueIsNull},
};

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
    out.QuotedIfSet(extender::kDataField, p.ext.DataField);
    WriteDataFormatBlock(out, p.DataFormat);
    out.QuotedIfSet(extender::kDataMember, p.ext.DataMember);
    out.QuotedIfSet(extender::kDataSource, p.ext.DataSource);
  });
  out.Number(kVersion, p.Version);
  out.Number(kExtentX, p.ExtentX);
  out.Number(kExtentY, p.ExtentY);
  WriteColour(out, kBackColor, p.BackColor);
  out.Number(kYear, p.Year);
  out.Number(kMonth, p.Month);
  out.Number(kDay, p.Day);
  out.NumberOrEmpty(kDayLength, p.DayLength);
  out.Number(kMonthLength, p.MonthLength);
  WriteColour(out, kDayFontColor, p.DayFontColor);
  out.NumberOrEmpty(kFirstDay, p.FirstDay);
  out.NumberOrEmpty(kGridCellEffect, p.GridCellEffect);
  WriteColour(out, kGridFontColor, p.GridFontColor);
  WriteColour(out, kGridLinesColor, p.GridLinesColor);
  WriteFlag(out, kShowDateSelectors, p.ShowDateSelectors);
  WriteFlag(out, kShowDays, p.ShowDays);
  WriteFlag(out, kShowHorizontalGrid, p.ShowHorizontalGrid);
  WriteFlag(out, kShowTitle, p.ShowTitle);
  WriteFlag(out, kShowVerticalGrid, p.ShowVerticalGrid);
  WriteColour(out, kTitleFontColor, p.TitleFontColor);
  WriteFlag(out, kValueIsNull, p.ValueIsNull, true);
  WriteFontGroup(out, kDayFont, p.DayFont, kFontStyle);
  WriteFontGroup(out, kGridFont, p.GridFont, kFontStyle);
  WriteFontGroup(out, kTitleFont, p.TitleFont, kFontStyle);
}

std::span<const PropertyEntry> Properties() {
  static const std::vector<PropertyEntry> all = [] {
    static constexpr PropertyEntry kDataField[] = {{&extender::kDataField}};
    static constexpr PropertyEntry kDataMemberAndSource[] = {{&extender::kDataMember},
                                                             {&extender::kDataSource}};
    const std::vector<PropertyEntry> data =
        JoinedEntries({kDataField, DataFormatProperties(), kDataMemberAndSource});
    return JoinedEntries(
        {VisibleControlEntries(data), kControlBlock, FontGroupEntries(kDayFont, kFontStyle),
         FontGroupEntries(kGridFont, kFontStyle), FontGroupEntries(kTitleFont, kFontStyle)});
  }();
  return all;
}

}  // namespace tvx::calendar
