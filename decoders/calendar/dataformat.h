// The DataFormat sub-record of the calendar's section A code 41: the record, its
// defaults, its reader, its listing lines and its "BeginProperty DataFormat" block.
#pragma once

#include <string>

#include "tvx/decoder.h"
#include "tvx/output.h"

namespace tvx {

// The 16-bit fields hold the two's-complement value of their slot's first word.
struct DataFormatRecord {
  double Type = 0;
  std::string Format;  // as read; quotes are doubled on output only
  double DataFormatPresent = 0;
  double HaveTrueFalseNull = 0;
  std::string TrueValue;
  std::string FalseValue;
  std::string NullValue;
  double FirstDayOfWeek = 0;
  double FirstWeekOfYear = 0;
  double LCID = 0;
  double SubFormatType = 0;
};

// Every field to its default, DataFormatPresent included.
void FillDefaultDataFormat(DataFormatRecord& record);

// Reads the sub-record at the current position (the byte after code 41) into the record and
// leaves the input after it. The caller sets DataFormatPresent.
void ParseDataFormat(DecodeContext& ctx, DataFormatRecord& record);

// Writes the listing lines of the record's (Type, SubFormatType) row; none for an unknown pair.
void WriteDataFormatListing(Listing& out, const DataFormatRecord& record);

// The standard, Boolean or empty DataFormat block, when DataFormatPresent is 1.
void WriteDataFormatBlock(BlockWriter& out, const DataFormatRecord& record);

}  // namespace tvx
