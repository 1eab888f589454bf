// ParseDataFormat's sizes and the DataFormat renderings.
#include "calendar/dataformat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hexstream.h"

namespace tvx {
namespace {

// A sub-record (the bytes after code 41) followed by one marker byte, decoded from position 1.
struct SubRecord {
  explicit SubRecord(std::string_view hex) {
    const std::string parsed = hexstream::Parse(hex);
    bytes.assign(parsed.begin(), parsed.end());
    bytes.push_back(0x2D);
  }
  double Parse(DataFormatRecord& record) {
    BytesInput input(bytes);
    StreamReader reader(input, 1);
    DecodeContext ctx(reader, false);
    ParseDataFormat(ctx, record);
    EXPECT_EQ(reader.ReadByte(), 0x2D) << "the sub-record did not end before the marker";
    return reader.Position() - 2;  // bytes consumed by the sub-record
  }
  std::vector<std::uint8_t> bytes;
};

std::string Block(const DataFormatRecord& record) {
  BlockWriter out(19);
  WriteDataFormatBlock(out, record);
  return out.Text();
}

TEST(AlmanacParseDataFormat, TypeZeroWithThreeFormatUnitsIs54Bytes) {
  DataFormatRecord r;
  SubRecord s("01 00 00 00 w:0 w:0 l:0 l:0 l:0 l:3 l:0 z:12 u\"abc\" l:1033 l:0");
  EXPECT_EQ(s.Parse(r), 54);
  EXPECT_EQ(r.Format.value, "abc");
  EXPECT_EQ(r.LCID, 1033);
}

TEST(AlmanacParseDataFormat, OtherTypeWithoutFormatIs48BytesAndKeepsFormat) {
  DataFormatRecord r;
  r.Format.value = "earlier";
  SubRecord s("01 00 00 00 w:0 w:0 l:1 l:0 l:0 l:0 l:0 z:12 l:1033 l:1");
  EXPECT_EQ(s.Parse(r), 48);
  EXPECT_EQ(r.Format.value, "earlier");
}

TEST(AlmanacParseDataFormat, TypeFourIs48BytesWhateverItsLengthSlotsHold) {
  DataFormatRecord r;
  r.Format.value = "kept";
  r.HaveTrueFalseNull = 1;
  SubRecord s("01 00 00 00 w:0 w:0 l:4 l:0 l:0 l:50 l:0 l:40 l:30 l:20 l:1033 l:8");
  EXPECT_EQ(s.Parse(r), 48);
  EXPECT_EQ(r.Type, 4);
  EXPECT_EQ(r.Format.value, "kept");
  EXPECT_EQ(r.HaveTrueFalseNull, 1);
  EXPECT_EQ(r.SubFormatType, 8);
}

TEST(AlmanacParseDataFormat, TypeFiveWithZeroLengthTextsStillConsumesTheGaps) {
  DataFormatRecord r;
  SubRecord s("01 00 00 00 w:0 w:0 l:5 l:0 l:0 l:0 l:0 l:0 l:0 l:0 z:48 l:1033 l:7");
  EXPECT_EQ(s.Parse(r), 96);
  EXPECT_EQ(r.TrueValue.value, "");
  EXPECT_EQ(r.SubFormatType, 7);
}

TEST(AlmanacParseDataFormat, TypeFiveReadsItsFourTexts) {
  DataFormatRecord r;
  SubRecord s(
      "01 00 00 00 w:0 w:0 l:5 l:1 l:2 l:3 l:1 l:3 l:2 l:3 u\"\\\"B\\\"\" z:16 u\"Yes\" z:16 "
      "u\"No\" "
      "z:16 u\"n/a\" l:1033 l:7");
  EXPECT_EQ(s.Parse(r), 96 + 2 * (3 + 3 + 2 + 3));
  EXPECT_EQ(r.Format.value, "\"B\"");  // stored as read
  EXPECT_EQ(r.TrueValue.value, "Yes");
  EXPECT_EQ(r.FalseValue.value, "No");
  EXPECT_EQ(r.NullValue.value, "n/a");
  EXPECT_EQ(r.HaveTrueFalseNull, 1);
  EXPECT_EQ(r.FirstDayOfWeek, 1);
  EXPECT_EQ(r.FirstWeekOfYear, 2);
}

TEST(AlmanacParseDataFormat, SixteenBitFieldsAbove32767AreTwosComplement) {
  DataFormatRecord r;
  SubRecord s("01 00 00 00 w:0 w:0 l:0 l:65535 l:32768 l:0 l:0 z:12 l:33801 l:0");
  s.Parse(r);
  EXPECT_EQ(r.FirstDayOfWeek, -1);
  EXPECT_EQ(r.FirstWeekOfYear, -32768);
  EXPECT_EQ(r.LCID, 33801 - 65536);
}

TEST(AlmanacParseDataFormat, OnlyTheFirstWordOfASlotCounts) {
  DataFormatRecord r;
  SubRecord s("01 00 00 00 w:0 w:0 w:1 w:7 l:0 l:0 w:2 w:9 l:0 z:12 u\"ab\" w:1033 w:5 l:0");
  EXPECT_EQ(s.Parse(r), 52);
  EXPECT_EQ(r.Type, 1);
  EXPECT_EQ(r.Format.value, "ab");
  EXPECT_EQ(r.LCID, 1033);
}

TEST(AlmanacParseDataFormat, PastTheEndReadsZerosAndNoCharacters) {
  const std::vector<std::uint8_t> bytes = {1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  BytesInput input(bytes);
  StreamReader reader(input, 1);
  DecodeContext ctx(reader, false);
  DataFormatRecord r;
  ParseDataFormat(ctx, r);
  EXPECT_EQ(r.Type, 1);
  EXPECT_EQ(r.Format.value, "");
  EXPECT_EQ(r.LCID, 0);
}

DataFormatRecord Record(int type, int subFormatType, std::string format) {
  DataFormatRecord r;
  r.DataFormatPresent = 1;
  r.Type = type;
  r.SubFormatType = subFormatType;
  r.Format = std::move(format);
  return r;
}

// The record's listing lines, each without its CR LF.
std::vector<std::string> DataFormatListing(const DataFormatRecord& record) {
  Listing listing;
  WriteDataFormatListing(listing, record);
  std::vector<std::string> lines;
  std::string_view text = listing.Text();
  for (std::size_t end; (end = text.find("\r\n")) != std::string_view::npos;
       text.remove_prefix(end + 2))
    lines.emplace_back(text.substr(0, end));
  EXPECT_EQ(text, "");
  return lines;
}

TEST(AlmanacDataFormatListing, EveryRow) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(DataFormatListing(Record(0, 0, "x")), Lines{"DataFormat, Type: General"});
  EXPECT_EQ(DataFormatListing(Record(1, 0, "a\"b")),
            (Lines{"DataFormat, Type: Custom", "   DataFormat, Format: \"a\"\"b\""}));
  EXPECT_EQ(DataFormatListing(Record(1, 1, "0.0")),
            (Lines{"DataFormat, Type: Number", "   DataFormat, Format: 0.0"}));
  EXPECT_EQ(DataFormatListing(Record(1, 2, "c"))[0], "DataFormat, Type: Currency");
  EXPECT_EQ(DataFormatListing(Record(1, 3, "d"))[0], "DataFormat, Type: Date");
  EXPECT_EQ(DataFormatListing(Record(1, 4, "t"))[0], "DataFormat Type: Time");
  EXPECT_EQ(DataFormatListing(Record(1, 5, "0\"%\"")),
            (Lines{"DataFormat, Type: Percentage", "   DataFormat, Format: 0\"\"%\"\""}));
  EXPECT_EQ(DataFormatListing(Record(1, 6, "s"))[0], "DataFormat Type: Scientific");
  EXPECT_EQ(DataFormatListing(Record(2, 9, "p")), Lines{"DataFormat, Type: Picture"});
  EXPECT_EQ(DataFormatListing(Record(4, 8, "c")), Lines{"DataFormat, Type: Checkbox"});
  DataFormatRecord boolean = Record(5, 7, "\"f\"");
  boolean.TrueValue.value = "On";
  boolean.FalseValue.value = "Off";
  EXPECT_EQ(DataFormatListing(boolean),
            (Lines{"DataFormat, Type: Boolean", "   DataFormat, TrueValue: On",
                   "   DataFormat, FalseValue: Off", "   DataFormat, NullValue: "}));
  EXPECT_EQ(DataFormatListing(Record(1, 7, "x")), Lines{});
  EXPECT_EQ(DataFormatListing(Record(5, 8, "x")), Lines{});
  EXPECT_EQ(DataFormatListing(Record(3, 0, "x")), Lines{});
}

TEST(AlmanacWriteDataFormatBlock, NothingWithoutADataFormat) {
  DataFormatRecord r = Record(1, 0, "x");
  r.DataFormatPresent = 0;
  EXPECT_EQ(Block(r), "");
}

TEST(AlmanacWriteDataFormatBlock, StandardBlockDoublesTheFormatQuotesOnce) {
  DataFormatRecord r = Record(1, 0, "\"Q\"#");
  r.LCID = 1033;
  r.FirstDayOfWeek = -1;
  EXPECT_EQ(Block(r),
            "BeginProperty DataFormat\r\n"
            "    Type              = 1\r\n"
            "    Format            = \"\"\"Q\"\"#\"\r\n"
            "    HaveTrueFalseNull = 0\r\n"
            "    FirstDayOfWeek    = -1\r\n"
            "    FirstWeekOfYear   = 0\r\n"
            "    LCID              = 1033\r\n"
            "    SubFormatType     = 0\r\n"
            "EndProperty\r\n");
}

TEST(AlmanacWriteDataFormatBlock, BooleanBlockDoublesTheTypeFiveFormatToo) {
  DataFormatRecord r = Record(5, 7, "a\"b");
  r.HaveTrueFalseNull = 1;
  r.TrueValue.value = "Y\"";
  r.FalseValue.value = "N";
  r.NullValue.value = "-";
  EXPECT_EQ(Block(r),
            "BeginProperty DataFormat\r\n"
            "    Type              = 5\r\n"
            "    Format            = \"a\"\"b\"\r\n"
            "    HaveTrueFalseNull = 1\r\n"
            "    TrueValue         = Y\"\r\n"
            "    FalseValue        = N\r\n"
            "    NullValue         = -\r\n"
            "    FirstDayOfWeek    = 0\r\n"
            "    FirstWeekOfYear   = 0\r\n"
            "    LCID              = 0\r\n"
            "    SubFormatType     = 7\r\n"
            "EndProperty\r\n");
}

TEST(AlmanacWriteDataFormatBlock, UnknownPairWritesTheEmptyBlock) {
  EXPECT_EQ(Block(Record(1, 7, "x")), "BeginProperty DataFormat\r\nEndProperty\r\n");
}

}  // namespace
}  // namespace tvx
