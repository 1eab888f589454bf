// The DataFormat sub-record of the calendar's section A code 41: the record (its defaults are
// its members' initial values), its reader, its listing lines and its "BeginProperty
// DataFormat" block.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "tvx/decoder.h"
#include "tvx/output.h"
#include "tvx/property.h"

namespace tvx {

// The 16-bit fields hold the two's-complement value of their slot's first word.
struct DataFormatRecord {
  Read<std::int32_t> Type;
  Read<std::string> Format;  // as read; quotes are doubled on output only
  int DataFormatPresent = 0;
  Read<std::int32_t> HaveTrueFalseNull;
  Read<std::string> TrueValue;
  Read<std::string> FalseValue;
  Read<std::string> NullValue;
  Read<std::int32_t> FirstDayOfWeek;
  Read<std::int32_t> FirstWeekOfYear;
  Read<std::int32_t> LCID;
  Read<std::int32_t> SubFormatType;
  Source record;  // the sub-record's bytes
};

// Its properties, in the order of its block: the group, then its members.
std::span<const PropertyEntry> DataFormatProperties();

// Reads the sub-record at the current position (the byte after code 41) into the record and
// leaves the input after it. The caller sets DataFormatPresent.
void ParseDataFormat(DecodeContext& ctx, DataFormatRecord& record);

// Writes the listing lines of the record's (Type, SubFormatType) row; none for an unknown pair.
void WriteDataFormatListing(Listing& out, const DataFormatRecord& record);

// The standard, Boolean or empty DataFormat block, when DataFormatPresent is 1.
void WriteDataFormatBlock(BlockWriter& out, const DataFormatRecord& record);

}  // namespace tvx
