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
  std::string Underline;
  std::string Italic;
  std::string Strikethrough;
};
struct State {
  ExtenderProperties ext;
  DataFormatRecord DataFormat;
  std::uint32_t Version = 0;
  std::uint32_t ExtentX = 0;
  std::uint32_t ExtentY = 0;
  std::uint16_t Year = 0;
  std::uint16_t Month = 0;
  std::uint16_t Day = 0;
  std::uint16_t MonthLength = 0;
  std::int64_t BackColor = 0;
  std::int64_t DayFontColor = 0;
  std::int64_t GridFontColor = 0;
  std::int64_t GridLinesColor = 0;
  std::int64_t TitleFontColor = 0;
  std::string DayLength;
  std::string FirstDay;
  std::string GridCellEffect;
  std::string ShowDateSelectors;
  std::string ShowDays;
  std::string ShowHorizontalGrid;
  std::string ShowTitle;
  std::string ShowVerticalGrid;
  std::string ValueIsNull;
  Font DayFont;
  Font GridFont;
  Font TitleFont;
};

DecodeEnd ReadStream(DecodeContext& ctx, State& s);
void WriteBlock(BlockWriter& out, const State& s);

// The number of bytes skipped after the ValueIsNull field, 256 or 512, for a control block
// starting at the reader's position (the byte after code 45). The reader is not moved.
std::uint32_t ControlBlockGap(StreamReader& blockStart);

}  // namespace tvx::calendar
