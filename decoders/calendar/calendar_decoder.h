// The month calendar control: section A with the DataFormat sub-record, the control block, three
// font records and section B.
#pragma once

#include <cstdint>
#include <string>

#include "calendar/dataformat.h"
#include "tvx/decoder.h"
#include "tvx/extender.h"

// The decoder is State, the stream reader ReadStream and the block writer WriteBlock; the
// build joins them into the deliverable's program and the registry of the tools.
namespace tvx::calendar {

// Who this deliverable is; the host matches the caption byte for byte.
inline constexpr DeliverableInfo kInfo = {"DTGRID.Almanac", "Calendar",
                                          "Tevo Support Library (Calendar)", 19, "MSACAL.Calendar"};

// One of DayFont, GridFont, TitleFont.
struct Font {
  std::string Name;
  std::string Size;  // number text of size / 10000, such as 8.25
  std::uint16_t Weight = 0;
  unsigned Charset = 0;  // written in the block's Charset line
  std::string Underline, Italic, Strikethrough;
};

struct State {
  ExtenderProperties ext;
  DataFormatRecord DataFormat;
  std::uint32_t Version = 0, ExtentX = 0, ExtentY = 0;
  std::uint16_t Year = 0, Month = 0, Day = 0, MonthLength = 0;
  std::int64_t BackColor = 0, DayFontColor = 0, GridFontColor = 0, GridLinesColor = 0,
               TitleFontColor = 0;
  // Pre-rendered block values.
  std::string DayLength, FirstDay, GridCellEffect, ShowDateSelectors, ShowDays, ShowHorizontalGrid,
      ShowTitle, ShowVerticalGrid, ValueIsNull;
  Font DayFont, GridFont, TitleFont;
};

DecodeEnd ReadStream(DecodeContext& ctx, State& s);
void WriteBlock(BlockWriter& out, const State& s);

// The number of bytes skipped after the ValueIsNull field, 256 or 512, for a control block
// starting at the reader's position (the byte after code 45). The reader is not moved.
std::uint32_t ControlBlockGap(StreamReader& blockStart);

}  // namespace tvx::calendar
