// The month calendar control (class Calendar), Parts 2.1 to 2.3: section A with the
// DataFormat sub-record, the control block, three font records and section B.
#pragma once

#include <string>

#include "calendar/dataformat.h"
#include "tvx/decoder.h"
#include "tvx/extender.h"

namespace tvx {

// One of DayFont, GridFont, TitleFont.
struct CalendarFont {
  std::string Name;
  std::string Size;  // number text of size / 10000, such as 8.25
  double Weight = 0;
  double Charset = 0;  // written in the block's Charset line
  std::string Underline;
  std::string Italic;
  std::string Strikethrough;
};

struct CalendarProperties {
  ExtenderProperties ext;  // the eighteen extender fields
  DataFormatRecord DataFormat;

  double Version = 0;
  double ExtentX = 0;
  double ExtentY = 0;
  double Year = 0;
  double Month = 0;
  double Day = 0;
  double MonthLength = 0;
  double BackColor = 0;
  double DayFontColor = 0;
  double GridFontColor = 0;
  double GridLinesColor = 0;
  double TitleFontColor = 0;
  std::string DayLength;
  std::string FirstDay;
  std::string GridCellEffect;
  std::string ShowDateSelectors;
  std::string ShowDays;
  std::string ShowHorizontalGrid;
  std::string ShowTitle;
  std::string ShowVerticalGrid;
  std::string ValueIsNull;
  CalendarFont DayFont;
  CalendarFont GridFont;
  CalendarFont TitleFont;
};

class CalendarDecoder final : public Decoder {
 public:
  static const DeliverableInfo kInfo;

  const DeliverableInfo& Info() const override { return kInfo; }
  void InitProperties() override;
  void ParseControl(DecodeContext& ctx) override;
  void WriteToFile(BlockWriter& out) const override;

  const CalendarProperties& Properties() const { return props_; }

 private:
  void ReadControlBlock(DecodeContext& ctx);

  CalendarProperties props_;
};

// The number of bytes skipped after the ValueIsNull field, 256 or 512, for a control
// block starting at `blockStart` (the byte after code 45). The reader is not moved.
double ControlBlockGap(StreamReader& blockStart);

}  // namespace tvx
