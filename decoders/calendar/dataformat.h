// The DataFormat sub-record of the calendar's section A code 41: the record (its defaults are
// its members' initial values), its reader, its listing lines and its "BeginProperty
// DataFormat" block.
#pragma once

#include <cstdint>
#include <string>

#include "tvx/decoder.h"
#include "tvx/output.h"

namespace tvx {

// The 16-bit fields hold the two's-complement value of their slot's first word.
struct DataFormatRecord {
  std::int32_t Type = 0;
  std::string Format;  // as read; quotes are doubled on output only
  int DataFormatPresent = 0;
  std::int32_t HaveTrueFalseNull = 0;
  std::string TrueValue;
  std::string FalseValue;
  std::string NullValue;
  std::int32_t FirstDayOfWeek = 0;
  std::int32_t FirstWeekOfYear = 0;
  std::int32_t LCID = 0;
  std::int32_t SubFormatType = 0;
};

// Reads the sub-record at the current position (the byte after code 41) into the record and
// leaves the input after it. The caller sets DataFormatPresent.
void ParseDataFormat(DecodeContext& ctx, DataFormatRecord& record);

// Writes the listing lines of the record's (Type, SubFormatType) row; none for an unknown pair.
void WriteDataFormatListing(Listing& out, const DataFormatRecord& record);

// The standard, Boolean or empty DataFormat block, when DataFormatPresent is 1.
void WriteDataFormatBlock(BlockWriter& out, const DataFormatRecord& record);

}  // namespace tvx
