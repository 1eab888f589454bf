// The calendar decoder's own rules that the end-to-end cases do not isolate: the font gap, the
// font charset, the per-run reset of the DataFormat record, and the font size renderings.
#include "calendar/calendar_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hexstream.h"

namespace tvx {
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

struct Stream {
  explicit Stream(std::string_view hex)
      : bytes(Bytes(hex)), input(bytes), reader(input, 1), ctx(reader, false) {}
  std::vector<std::uint8_t> bytes;
  BytesInput input;
  StreamReader reader;
  DecodeContext ctx;
};

std::string WriteBlock(const CalendarDecoder& decoder) {
  BlockWriter out(19);
  decoder.WriteToFile(out);
  return out.Text();
}

TEST(AlmanacCalendarDecoder, FontCharsetSizeAndStyle) {
  Stream run(
      "2D z:338 01 A2 00 0E w:700 l:85000 03 \"Foo\" 01 00 00 00 w:400 l:82500 00 "
      "01 CC 00 00 w:400 l:84000 00 FF");
  CalendarDecoder decoder;
  decoder.InitProperties();
  decoder.ParseControl(run.ctx);
  const CalendarProperties& p = decoder.Properties();
  EXPECT_EQ(p.DayFont.Charset, 162);
  EXPECT_EQ(p.DayFont.Size, "8.5");
  EXPECT_EQ(p.DayFont.Weight, 700);
  EXPECT_EQ(p.DayFont.Name, "Foo");
  EXPECT_EQ(p.DayFont.Strikethrough, "-1    'True");
  EXPECT_EQ(p.DayFont.Underline, "-1    'True");
  EXPECT_EQ(p.DayFont.Italic, "-1    'True");
  EXPECT_EQ(p.GridFont.Size, "8.25");
  EXPECT_EQ(p.GridFont.Italic, "0    'False");
  EXPECT_EQ(p.TitleFont.Charset, 204);
  EXPECT_EQ(p.TitleFont.Size, "8.4");
  const std::string listing = run.ctx.Out().Text();
  EXPECT_NE(listing.find("DayFont Size: 9\r\n"), std::string::npos);
  EXPECT_NE(listing.find("GridFont Size: 8\r\n"), std::string::npos);
  EXPECT_NE(listing.find("TitleFont Size: 8\r\n"), std::string::npos);
  EXPECT_NE(listing.find("DayFont Bold: True\r\n"), std::string::npos);
  EXPECT_NE(WriteBlock(decoder).find("    Charset            = 162\r\n"), std::string::npos);
}

TEST(AlmanacCalendarDecoder, InitPropertiesForgetsTheDataFormat) {
  Stream run("29 01 00 00 00 w:0 w:0 l:1 l:0 l:0 l:1 l:0 z:12 u\"x\" l:1033 l:0 2D z:371 FF");
  CalendarDecoder decoder;
  decoder.InitProperties();
  decoder.ParseControl(run.ctx);
  EXPECT_EQ(decoder.Properties().DataFormat.DataFormatPresent, 1);
  EXPECT_EQ(decoder.Properties().DataFormat.Format, "x");
  EXPECT_NE(WriteBlock(decoder).find("BeginProperty DataFormat"), std::string::npos);
  decoder.InitProperties();
  EXPECT_EQ(decoder.Properties().DataFormat.DataFormatPresent, 0);
  EXPECT_EQ(decoder.Properties().DataFormat.Format, "");
  EXPECT_EQ(WriteBlock(decoder).find("BeginProperty DataFormat"), std::string::npos);
}

TEST(AlmanacCalendarDecoder, TwoDataFormatsInOneStreamListBothAndKeepTheLast) {
  Stream run(
      "29 01 00 00 00 w:0 w:0 l:1 l:0 l:0 l:2 l:0 z:12 u\"ab\" l:1033 l:3 "
      "29 01 00 00 00 w:0 w:0 l:1 l:0 l:0 l:0 l:0 z:12 l:1033 l:1 2D z:371 FF");
  CalendarDecoder decoder;
  decoder.InitProperties();
  decoder.ParseControl(run.ctx);
  const std::string listing = run.ctx.Out().Text();
  EXPECT_EQ(listing.substr(0, listing.find("Year: ")),
            "DataFormat, Type: Date\r\n   DataFormat, Format: ab\r\n"
            "DataFormat, Type: Number\r\n   DataFormat, Format: ab\r\n");
  EXPECT_EQ(decoder.Properties().DataFormat.SubFormatType, 1);
}

TEST(AlmanacCalendarDecoder, TabIndexAbove32767IsStoredSigned) {
  Stream run("0F w:65535 2D z:371 FF");
  CalendarDecoder decoder;
  decoder.InitProperties();
  decoder.ParseControl(run.ctx);
  EXPECT_EQ(decoder.Properties().ext.TabIndex, -1);
  EXPECT_EQ(run.ctx.Out().Text().substr(0, 17), "TabIndex: 65535\r\n");
}

}  // namespace
}  // namespace tvx
