// The calendar decoder's own rules that the end-to-end cases do not isolate: the font gap, the
// font charset, the per-run reset of the DataFormat record, and the font size renderings.
#include "calendar/calendar_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "decode_lines.h"
#include "hexstream.h"
#include "registry.h"

namespace tvx::calendar {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view hex) {
  const std::string parsed = hexstream::Parse(hex);
  return {parsed.begin(), parsed.end()};
}

// A control block: header with N, 74 zero bytes, then `rest`.
std::vector<std::uint8_t> Block(long n, std::string_view rest) {
  return Bytes("4C 42 09 00 l:" + std::to_string(n) + " z:74 " + std::string(rest));
}

TEST(AlmanacControlBlockGap, ShortGapWhenTheFontsFromOffset338EndAt8PlusN) {
  const auto bytes = Block(338 + 3 * 16 - 8, "z:256 r:3:00 r:3:00 r:3:00 r:3:00 05 z:5 z:32");
  BytesInput input(bytes);
  StreamReader reader(input, 1);
  EXPECT_EQ(ControlBlockGap(reader), 256);
  EXPECT_EQ(reader.Position(), 1);  // not moved
}

TEST(AlmanacControlBlockGap, LongGapWhenOnlyTheFontsFromOffset594Fit) {
  const std::string font = "01 00 00 00 w:400 l:82500 05 \"Arial\" ";
  const auto bytes = Block(594 + 48 - 8, "z:512 " + font + font + font);
  BytesInput input(bytes);
  StreamReader reader(input, 1);
  EXPECT_EQ(ControlBlockGap(reader), 512);
}

TEST(AlmanacControlBlockGap, ShortGapWhenNeitherFits) {
  const std::string font = "01 00 00 00 w:400 l:82500 05 \"Arial\" ";
  const auto bytes = Block(1000, "z:512 " + font + font + font);
  BytesInput input(bytes);
  StreamReader reader(input, 1);
  EXPECT_EQ(ControlBlockGap(reader), 256);
}

TEST(AlmanacControlBlockGap, ShortGapForNamelessFontsAt338) {
  // The file ends 44 bytes after offset 338: the 594 reading (length bytes past the end, so 0)
  // would end at 627, the 338 reading ends at 371 = 8 + N.
  const auto bytes = Block(338 + 33 - 8, "z:300");
  BytesInput input(bytes);
  StreamReader reader(input, 1);
  EXPECT_EQ(ControlBlockGap(reader), 256);
}

TEST(AlmanacControlBlockGap, LengthBytesPastTheEndCountAsZero) {
  // The file ends inside the gap: from 594 the three records are 33 bytes.
  const auto bytes = Block(594 + 33 - 8, "z:100");
  BytesInput input(bytes);
  StreamReader reader(input, 1);
  EXPECT_EQ(ControlBlockGap(reader), 512);
}

using testing::DecodeHex;
using testing::HasLine;

TEST(AlmanacCalendarDecoder, FontCharsetSizeAndStyle) {
  const auto d =
      DecodeHex(*FindDecoder("Calendar"),
                "2D z:338 01 A2 00 0E w:700 l:85000 03 \"Foo\" 01 00 00 00 w:400 l:82500 00 "
                "01 CC 00 00 w:400 l:84000 00 FF");
  const auto font = [&](std::string_view name) {
    const auto begin =
        std::find(d.block.begin(), d.block.end(), "BeginProperty " + std::string(name));
    EXPECT_NE(begin, d.block.end()) << name;
    return std::vector<std::string>(begin + 1, std::min(begin + 8, d.block.end()));
  };
  EXPECT_EQ(font("DayFont"), (std::vector<std::string>{
                                 "    Name               = \"Foo\"",
                                 "    Size               = 8.5",
                                 "    Charset            = 162",
                                 "    Weight             = 700",
                                 "    Underline          = -1    'True",
                                 "    Italic             = -1    'True",
                                 "    Strikethrough      = -1    'True",
                             }));
  EXPECT_TRUE(HasLine(font("GridFont"), "    Size               = 8.25"));
  EXPECT_TRUE(HasLine(font("GridFont"), "    Italic             = 0    'False"));
  EXPECT_TRUE(HasLine(font("TitleFont"), "    Charset            = 204"));
  EXPECT_TRUE(HasLine(font("TitleFont"), "    Size               = 8.4"));
  EXPECT_TRUE(HasLine(d.listing, "DayFont Size: 9"));
  EXPECT_TRUE(HasLine(d.listing, "GridFont Size: 8"));
  EXPECT_TRUE(HasLine(d.listing, "TitleFont Size: 8"));
  EXPECT_TRUE(HasLine(d.listing, "DayFont Bold: True"));
}

TEST(AlmanacCalendarDecoder, EveryRunForgetsTheDataFormat) {
  const auto decoder = FindDecoder("Calendar");
  const auto first = DecodeHex(
      *decoder, "29 01 00 00 00 w:0 w:0 l:1 l:0 l:0 l:1 l:0 z:12 u\"x\" l:1033 l:0 2D z:371 FF");
  EXPECT_TRUE(HasLine(first.block, "BeginProperty DataFormat"));
  EXPECT_TRUE(HasLine(first.block, "    Format            = \"x\""));
  EXPECT_FALSE(HasLine(DecodeHex(*decoder, "2D z:371 FF").block, "BeginProperty DataFormat"));
}

TEST(AlmanacCalendarDecoder, TwoDataFormatsInOneStreamListBothAndKeepTheLast) {
  const auto d =
      DecodeHex(*FindDecoder("Calendar"),
                "29 01 00 00 00 w:0 w:0 l:1 l:0 l:0 l:2 l:0 z:12 u\"ab\" l:1033 l:3 "
                "29 01 00 00 00 w:0 w:0 l:1 l:0 l:0 l:0 l:0 z:12 l:1033 l:1 2D z:371 FF");
  EXPECT_EQ(std::vector<std::string>(d.listing.begin(), d.listing.begin() + 4),
            (std::vector<std::string>{"DataFormat, Type: Date", "   DataFormat, Format: ab",
                                      "DataFormat, Type: Number", "   DataFormat, Format: ab"}));
  EXPECT_TRUE(HasLine(d.block, "    SubFormatType     = 1"));
}

TEST(AlmanacCalendarDecoder, TabIndexAbove32767IsStoredSigned) {
  const auto d = DecodeHex(*FindDecoder("Calendar"), "0F w:65535 2D z:371 FF");
  EXPECT_EQ(d.listing.front(), "TabIndex: 65535");
  EXPECT_TRUE(HasLine(d.block, "TabIndex           = -1"));
}

}  // namespace
}  // namespace tvx::calendar
