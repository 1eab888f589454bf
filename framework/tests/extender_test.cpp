#include "tvx/extender.h"

#include <gtest/gtest.h>

#include <map>
#include <string_view>
#include <vector>

namespace tvx {
namespace {

using C = ExtenderCode;

// Three ways a deliverable renders the codes: quoted listing texts with a stop line, skipped
// unknown section B codes, and the smallest set with positions in section B.
const ExtenderProfile kQuoting = {
    SectionA({C::kIndex, C::kPositionAndSize, C::kVisible, C::kDragMode, C::kDragIcon, C::kTag,
              C::kTabStop, C::kTabIndex, C::kDataMember}),
    SectionB({C::kHelpContextID, C::kDataField, C::kDataSource, C::kPassedOver, C::kWhatsThisHelpID,
              C::kCausesValidation, C::kToolTipText}),
    "0   'False",
    "1  'Automatic",
    "DragMode: 1 - vbAutomatic",
    true,
    true,
    "TEST Parse Error"};
const ExtenderProfile kSkipping = {
    SectionA({C::kIndex, C::kPositionAndSize, C::kVisible, C::kDragMode, C::kDragIcon, C::kTag}),
    SectionB({C::kAlign, C::kNegotiate, C::kWhatsThisHelpID, C::kToolTipText}), "0 'False",
    "1 'Automatic", "DragMode: Automatic"};
const ExtenderProfile kPositioned = {SectionA({C::kIndex, C::kTag}),
                                     SectionB({C::kLeft, C::kTop}),
                                     {},
                                     {},
                                     {},
                                     false,
                                     false,
                                     "TEST Parse Error"};

struct Decode {
  // The stream's bytes stand at `base` in a file of zeros before them.
  Decode(const std::vector<std::uint8_t>& b, bool offsets, std::size_t base = 1)
      : bytes(Placed(b, base)),
        input(bytes),
        reader(input, static_cast<double>(base)),
        ctx(reader, offsets) {}
  static std::vector<std::uint8_t> Placed(const std::vector<std::uint8_t>& b, std::size_t base) {
    std::vector<std::uint8_t> file(base - 1 + b.size(), 0);
    std::copy(b.begin(), b.end(), file.end() - static_cast<std::ptrdiff_t>(b.size()));
    return file;
  }
  std::vector<std::uint8_t> bytes;
  BytesInput input;
  StreamReader reader;
  DecodeContext ctx;
  ExtenderProperties props;
  const std::string& listing() { return ctx.Out().Text(); }
  // The value the block writes for a presence flag, DragIcon or Align, where it was held.
  std::string Written(const PropertyDef& def) const {
    BlockWriter out(0);
    WriteIfHeld(out, props, def);
    const std::string& text = out.Text();
    return text.empty() ? "" : text.substr(def.name.size() + 2, text.size() - def.name.size() - 4);
  }
};

// The ranges of a source, as (position, size) pairs.
std::vector<std::pair<double, std::uint64_t>> Ranges(const Source& source) {
  std::vector<std::pair<double, std::uint64_t>> ranges;
  for (const ByteRange& r : source.Ranges())
    ranges.emplace_back(r.position, r.size);
  return ranges;
}
using RangeList = std::vector<std::pair<double, std::uint64_t>>;

TEST(SectionA, EmptySectionEndsAtCode45) {
  Decode r({0x2D, 0x99}, true);
  EXPECT_EQ(ReadSectionA(r.ctx, kQuoting, r.props), DecodeEnd::kEndCode);
  EXPECT_EQ(r.listing(), "");
  EXPECT_EQ(r.reader.Position(), 2);
}

TEST(SectionA, PositionAndSizeHaveFourOffsetLinesTwoApart) {
  Decode r({0x03, 120, 0, 240, 0, 0xBF, 0x04, 0xEF, 0x01, 0x2D}, true, 100);
  ReadSectionA(r.ctx, kQuoting, r.props);
  EXPECT_EQ(r.listing(),
            "Left: 120\r\n  (Offset d/h: 101/65)\r\n"
            "Top: 240\r\n  (Offset d/h: 103/67)\r\n"
            "Width: 1215\r\n  (Offset d/h: 105/69)\r\n"
            "Height: 495\r\n  (Offset d/h: 107/6B)\r\n");
  EXPECT_EQ(r.props.Width, 1215);
}

TEST(SectionA, PositionWordsAreSigned) {
  // Top 0x8000 is not the long-form marker: only the first word is.
  Decode r({0x03, 0x10, 0xFF, 0x00, 0x80, 0, 0, 0, 0, 0x2D}, false);
  ReadSectionA(r.ctx, kQuoting, r.props);
  EXPECT_EQ(r.props.Left, -240);
  EXPECT_EQ(r.props.Top, -32768);
  EXPECT_EQ(r.listing(), "Left: -240\r\nTop: -32768\r\nWidth: 0\r\nHeight: 0\r\n");
}

TEST(SectionA, PositionLongFormAfterTheMarker) {
  // Left -75000, Top 120, Width 1215, Height 495.
  Decode r({0x03, 0x00, 0x80, 0x08, 0xDB, 0xFE, 0xFF, 120, 0, 0,
            0,    0xBF, 0x04, 0,    0,    0xEF, 0x01, 0,   0, 0x2D},
           true);
  EXPECT_EQ(ReadSectionA(r.ctx, kQuoting, r.props), DecodeEnd::kEndCode);
  EXPECT_EQ(r.listing(),
            "Left: -75000\r\n  (Offset d/h: 4/4)\r\n"
            "Top: 120\r\n  (Offset d/h: 8/8)\r\n"
            "Width: 1215\r\n  (Offset d/h: 12/C)\r\n"
            "Height: 495\r\n  (Offset d/h: 16/10)\r\n");
  EXPECT_EQ(r.props.Left, -75000);
}

TEST(SectionA, FlagsAndTextsOfAQuotingDeliverable) {
  Decode r({0x01, 0x05, 0x00,                     // Index 5, no line
            0x07, 0x00,                           // Visible
            0x09, 0x42,                           // DragMode
            0x0B, 0x02, 0x00, 'a', 0,    '"', 0,  // Tag a"
            0x0E, 0x01,                           // TabStop
            0x0F, 0xFF, 0xFF,                     // TabIndex 65535
            0x2A, 0x00, 0x00, 'm', 0x00,          // DataMember m
            0x05,                                 // unknown in section A: skipped
            0x2D},
           true);
  ReadSectionA(r.ctx, kQuoting, r.props);
  EXPECT_EQ(r.listing(),
            "Visible: False\r\n  (Offset d/h: 5/5)\r\n"
            "DragMode: 1 - vbAutomatic\r\n  (Offset d/h: 7/7)\r\n"
            "Tag: \"a\"\"\r\n  (Offset d/h: 9/9)\r\n"
            "TabStop: False\r\n  (Offset d/h: 16/10)\r\n"
            "TabIndex: 65535\r\n  (Offset d/h: 18/12)\r\n"
            "DataMember: \"m\"\r\n");
  EXPECT_EQ(r.props.Index, 5);
  EXPECT_EQ(r.Written(extender::kVisible), "0   'False");
  EXPECT_EQ(r.Written(extender::kDragMode), "1  'Automatic");
  EXPECT_EQ(r.props.Tag.value, "a\"");
  EXPECT_EQ(r.props.TabIndex, -1);  // 16-bit signed
  EXPECT_EQ(r.props.TabIndexWord, 65535);
  EXPECT_EQ(r.props.DataMember.value, "m");
  // Where each came from: a presence flag is its code byte and value byte; a number its bytes;
  // a text its characters' bytes, after its count.
  EXPECT_EQ(Ranges(r.props.Index.from), (RangeList{{2, 2}}));
  EXPECT_EQ(Ranges(r.props.Visible), (RangeList{{4, 2}}));
  EXPECT_EQ(Ranges(r.props.Tag.from), (RangeList{{11, 4}}));
  EXPECT_EQ(Ranges(r.props.TabIndex.from), (RangeList{{18, 2}}));
  EXPECT_EQ(Ranges(r.props.DataMember.from), (RangeList{{23, 2}}));
}

TEST(SectionA, PictureRecords) {
  Decode r({0x0A, 8,  0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8,                    // length 8: empty picture
            0x0A, 11, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 0xAA, 0x0D, 0x0A,  // three image bytes
            0x2D},
           true);
  ReadSectionA(r.ctx, kSkipping, r.props);
  EXPECT_EQ(r.listing(),
            "DragIcon: TEVOGRAPHICFILE1.TMP\r\n  (Offset d/h: 2/2)\r\n"
            "DragIcon: TEVOGRAPHICFILE1.TMP\r\n  (Offset d/h: 15/F)\r\n");
  EXPECT_EQ(r.ctx.TakePicture(), "\xAA\x0D\x0A");
  EXPECT_EQ(r.Written(extender::kDragIcon), "TEVOGRAPHICFILE1.TMP");
  EXPECT_EQ(Ranges(r.props.DragIcon), (RangeList{{1, 29}}));  // both codes and records
}

TEST(SectionA, PictureLengthPastTheEndCopiesWhatIsThere) {
  Decode r({0x0A, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0x41, 0x42}, false);
  EXPECT_EQ(ReadSectionA(r.ctx, kSkipping, r.props), DecodeEnd::kEndOfInput);
  EXPECT_EQ(r.ctx.TakePicture(), "AB");
  EXPECT_EQ(r.listing(), "DragIcon: TEVOGRAPHICFILE1.TMP\r\nUnexpected end of file\r\n");
}

TEST(SectionA, EndOfInputBeforeCode45) {
  Decode r({0x0B, 0x01, 0x00, 'x', 0x00, 0x00, 0x00}, false);
  EXPECT_EQ(ReadSectionA(r.ctx, kPositioned, r.props), DecodeEnd::kEndOfInput);
  EXPECT_EQ(r.listing(), "Tag: x\r\nUnexpected end of file\r\n");
}

TEST(SectionA, UnknownCodesConsumeOneByte) {
  // Code 3 is not known here: its value bytes are read as codes.
  Decode r({0x03, 0x2D, 0x0B}, false);
  EXPECT_EQ(ReadSectionA(r.ctx, kPositioned, r.props), DecodeEnd::kEndCode);
  EXPECT_EQ(r.reader.Position(), 3);
}

TEST(SectionB, KnownCodesOfAQuotingDeliverable) {
  Decode r(
      {0x32, 0x10, 0x27, 0x00, 0x00,  // HelpContextID 10000
       0x42, 0x00, 0x00, 'f',  0x00,  // DataField
       0x43, 0x00, 0x00, 's',  0x00,  // DataSource
       0x44, 1,    2,    3,    4,    5,    6, 7, 8, 9, 10, 11, 12, 'z', 0x00,  // skipped record
       0x46, 0x05, 0x00, 0x00, 0x00,                                           // WhatsThisHelpID 5
       0x48, 0x00,                                                             // CausesValidation
       0x4A, 0x00, 0x00, 'h',  'i',  0x00,                                     // ToolTipText
       0xFF, 0x99},
      true);
  EXPECT_EQ(ReadSectionB(r.ctx, kQuoting, r.props), DecodeEnd::kEndCode);
  EXPECT_EQ(r.listing(),
            "HelpContextID: 10000\r\n  (Offset d/h: 2/2)\r\n"
            "DataField: \"f\"\r\n"
            "DataSource: \"s\"\r\n"
            "WhatsThisHelpID: 5\r\n  (Offset d/h: 32/20)\r\n"
            "CausesValidation: False\r\n  (Offset d/h: 37/25)\r\n"
            "ToolTipText: \"hi\"\r\n  (Offset d/h: 39/27)\r\n");
  EXPECT_EQ(r.Written(extender::kCausesValidation), "0   'False");
  EXPECT_EQ(r.props.DataField.value, "f");
  EXPECT_EQ(r.reader.Position(), 45);
}

TEST(SectionB, UnknownCodeWritesTheStopLine) {
  Decode r({0x46, 1, 0, 0, 0, 0x39, 0x46, 2, 0, 0, 0, 0xFF}, false);
  EXPECT_EQ(ReadSectionB(r.ctx, kQuoting, r.props), DecodeEnd::kStopLine);
  EXPECT_EQ(r.listing(), "WhatsThisHelpID: 1\r\nTEST Parse Error\r\n");
  EXPECT_EQ(r.props.WhatsThisHelpID, 1);
}

TEST(SectionB, SkippingDeliverableGoesOnAndStopsAtTheEnd) {
  Decode r({0x42, 0x3B, 0x07, 0x3B, 0x03, 0x3C, 0x00, 0x3D}, false);
  EXPECT_EQ(ReadSectionB(r.ctx, kSkipping, r.props), DecodeEnd::kEndOfInput);
  EXPECT_EQ(r.listing(),
            "Align: 0 - vbAlignNone\r\nAlign: 3 - vbAlignLeft\r\nNegotiate: -1 'True\r\n"
            "Unexpected end of file\r\n");
  EXPECT_EQ(r.Written(extender::kAlign), "3 'Align Left");
  EXPECT_EQ(r.Written(extender::kNegotiate), "-1 'True");
  EXPECT_EQ(r.Written(extender::kVisible), "");
}

TEST(SectionB, LeftAndTopAreSignedLongs) {
  Decode r({0x3A, 0x78, 0, 0, 0, 0x39, 0x1F, 0xFF, 0xFF, 0xFF, 0xFF}, true);
  ReadSectionB(r.ctx, kPositioned, r.props);
  EXPECT_EQ(r.listing(),
            "Top: 120\r\n  (Offset d/h: 2/2)\r\nLeft: -225\r\n  (Offset d/h: 7/7)\r\n");
  EXPECT_EQ(r.props.Left, -225);
}

TEST(SectionB, AllZeroStreamStopsAtOnce) {
  Decode r(std::vector<std::uint8_t>(1000, 0), false);
  EXPECT_EQ(ReadSectionB(r.ctx, kSkipping, r.props), DecodeEnd::kEndOfInput);
  EXPECT_EQ(r.listing(), "Unexpected end of file\r\n");
}

// What the stream view calls each code: every extender code and the two end codes have a name,
// any other number none.
TEST(ExtenderCodes, NamesOfTheCodesAndOfNothingElse) {
  const std::map<int, std::string_view> names = {{1, "Index"},
                                                 {3, "Left, Top, Width, Height"},
                                                 {7, "Visible"},
                                                 {9, "DragMode"},
                                                 {10, "DragIcon"},
                                                 {11, "Tag"},
                                                 {14, "TabStop"},
                                                 {15, "TabIndex"},
                                                 {41, "DataFormat"},
                                                 {42, "DataMember"},
                                                 {45, "end of section A"},
                                                 {50, "HelpContextID"},
                                                 {57, "Left"},
                                                 {58, "Top"},
                                                 {59, "Align"},
                                                 {60, "Negotiate"},
                                                 {66, "DataField"},
                                                 {67, "DataSource"},
                                                 {68, "record passed over"},
                                                 {70, "WhatsThisHelpID"},
                                                 {72, "CausesValidation"},
                                                 {74, "ToolTipText"},
                                                 {255, "end of section B and of the stream"}};
  for (int code = -1; code <= 256; ++code) {
    const auto named = names.find(code);
    EXPECT_EQ(ExtenderCodeName(code), named == names.end() ? "" : named->second) << code;
  }
}

}  // namespace
}  // namespace tvx
