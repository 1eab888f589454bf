// The month calendar control: section A with the DataFormat sub-record, the control block, three
// font records and section B.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "calendar/dataformat.h"
#include "tvx/decoder.h"
#include "tvx/extender.h"
#include "tvx/font.h"

// The decoder is State, the stream reader ReadStream and the block writer WriteBlock; the
// build joins them into the deliverable's program and the registry of the tools.
namespace tvx::calendar {

// Who this deliverable is; the host matches the caption byte for byte.
inline constexpr DeliverableInfo kInfo = {"DTGRID.Almanac", "Calendar",
                                          "Tevo Support Library (Calendar)", 19, "MSACAL.Calendar"};

// The control block's fields as read; those the block writes as texts are empty until read.
struct State {
  ExtenderProperties ext;
  DataFormatRecord DataFormat;
  Read<std::uint32_t> Version, ExtentX, ExtentY;
  Read<std::uint16_t> Year, Month, Day, MonthLength;
  // The colours' longs as read; the block writes them signed.
  Read<std::uint32_t> BackColor, DayFontColor, GridFontColor, GridLinesColor, TitleFontColor;
  Read<std::uint16_t> DayLength, FirstDay;
  Read<std::uint32_t> GridCellEffect;
  // The flag longs as read.
  Read<std::uint32_t> ShowDateSelectors, ShowDays, ShowHorizontalGrid, ShowTitle, ShowVerticalGrid,
      ValueIsNull;
  // What a stream that never reached the fonts leaves is written as empty values (a fresh
  // process's).
  FontRecord DayFont, GridFont, TitleFont;
};

DecodeEnd ReadStream(DecodeContext& ctx, State& s);
void WriteBlock(BlockWriter& out, const State& s);
// Every property the block may hold, in the block's order.
std::span<const PropertyEntry> Properties();

// The number of bytes skipped after the ValueIsNull field, 256 or 512, for a control block
// starting at the reader's position (the byte after code 45). The reader is not moved.
std::uint32_t ControlBlockGap(StreamReader& blockStart);

}  // namespace tvx::calendar
