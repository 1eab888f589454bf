// The common dialog decoder on streams built in memory: the control block's renderings, the
// presence mask, the reset between runs.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "commondialog/commondialog_decoder.h"
#include "decode_lines.h"
#include "registry.h"

namespace tvx::testing {
namespace {

using Decoded = DecodedLines;

// A stream with empty sections and the given control-block fields after the header and extent.
struct Fields {
  std::string flags = "l:0";
  std::string orientation = "l:1";
  std::string fontSize = "l:0x41040000";
  std::string color = "l:0";
  std::string maskAndTexts = "l:0";
  std::string sectionB = "FF";
};

std::string Stream(const Fields& f) {
  return "2D z:16 l:847 l:847 l:0 l:393216 l:0 " + f.flags + " w:0 w:0 w:0 w:0 w:1 w:0 w:260 w:1 " +
         f.orientation + " l:0 l:0 l:0 " + f.fontSize + " " + f.color + " " + f.maskAndTexts + " " +
         f.sectionB;
}

// Listing lines 1-6 hold the flag long's lines, 18 the font size; the texts follow from line 20.
constexpr std::size_t kFontSizeLine = 17;
constexpr std::size_t kFirstTextLine = 19;

TEST(PickerFlagLong, SixLinesAndStoredTexts) {
  struct Case {
    std::string flags;
    std::vector<std::string> lines;
    std::vector<std::string> stored;  // FontBold .. PrinterDefault
  };
  const std::string t = "-1 'True", f = "0 'False";
  const Case cases[] = {
      {"l:0",
       {"Font Bold: False", "Font Italic: False", "Font Strikethru: False", "Font UnderLine: False",
        "Cancel Error: False", "Printer Default: False"},
       {f, f, f, f, f, f}},
      {"l:17",
       {"Font Bold: True", "Font Italic: False", "Font Strikethru: False", "Font UnderLine: False",
        "CancelError: True", "Printer Default: False"},
       {t, f, f, f, t, f}},
      {"l:63",
       {"Font Bold: True", "Font Italic: True", "Font Strikethru: True", "Font UnderLine: True",
        "CancelError: True", "Printer Default: True"},
       {t, t, t, t, t, t}},
      // Only the low 8 bits count, also for a long of 2^31 and more.
      {"l:0x8000002A",
       {"Font Bold: False", "Font Italic: True", "Font Strikethru: False", "Font UnderLine: True",
        "Cancel Error: False", "Printer Default: True"},
       {f, t, f, t, f, t}},
      {"l:0xFFFFFF00",
       {"Font Bold: False", "Font Italic: False", "Font Strikethru: False", "Font UnderLine: False",
        "Cancel Error: False", "Printer Default: False"},
       {f, f, f, f, f, f}},
  };
  const char* names[] = {"FontBold",      "FontItalic",  "FontStrikeThru",
                         "FontUnderLine", "CancelError", "PrinterDefault"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    const auto decoder = FindDecoder("CommonDialog");
    Fields fields;
    fields.flags = c.flags;
    const Decoded d = DecodeHex(*decoder, Stream(fields));
    ASSERT_GE(d.listing.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(d.listing.begin(), d.listing.begin() + 6), c.lines);
    for (std::size_t i = 0; i < 6; ++i)
      EXPECT_EQ(BlockValue(d, names[i]), c.stored[i]) << i;
  }
}

TEST(PickerFontSize, SinglePrecisionBitPatterns) {
  const std::pair<std::string, std::string> cases[] = {
      {"l:0x41040000", "8.25"},
      {"l:0x41400000", "12"},
      {"l:0x41066666", "8.39999961853027"},  // 8.4 as stored: 8.3999996185302734375
      {"l:0x3F000000", "0.5"},
      {"l:0", "0"},
      {"l:0x80000000", "0"},                     // negative zero
      {"l:1", "1.40129846432482E-45"},           // smallest subnormal, 2^-149
      {"l:0x3727C5AC", "9.99999974737875E-06"},  // 1E-05 as stored
      {"l:0x7F800000", "Infinity"},
      {"l:0xFF800000", "-Infinity"},
      {"l:0x7FC00000", "NaN"},
      {"l:0xC1040000", "-8.25"},
  };
  for (const auto& [pattern, text] : cases) {
    SCOPED_TRACE(pattern);
    const auto decoder = FindDecoder("CommonDialog");
    Fields fields;
    fields.fontSize = pattern;
    const Decoded d = DecodeHex(*decoder, Stream(fields));
    ASSERT_GT(d.listing.size(), kFontSizeLine);
    EXPECT_EQ(d.listing[kFontSizeLine], "Font Size: " + text);
    EXPECT_EQ(BlockValue(d, "FontSize"), text);
  }
}

TEST(PickerPresenceMask, TextsInFixedOrderHelpKeyBeforeInitDir) {
  const struct {
    std::string maskAndTexts;
    std::vector<std::string> lines;  // from the first text line to the end
  } cases[] = {
      {"l:0", {}},
      {"l:192 l:4 u\"key1\" l:3 u\"C:\\\\\"", {"HelpKey:key1", "InitDir:C:\\"}},
      {"l:255 l:1 u\"a\" l:1 u\"b\" l:1 u\"c\" l:1 u\"d\" l:1 u\"e\" l:1 u\"f\" l:1 u\"g\" "
       "l:1 u\"h\"",
       {"DefaultExt:a", "DialogTitle:b", "FileName:c", "Filter:d", "FontName:e", "HelpFile:f",
        "HelpKey:g", "InitDir:h"}},
      {"l:4 l:0", {"FileName:"}},
      // A mask of 32768 and more counts by its low 8 bits.
      {"l:0xFFFF8002 l:2 u\"Go\"", {"DialogTitle:Go"}},
      {"l:0x00010000", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.maskAndTexts);
    const auto decoder = FindDecoder("CommonDialog");
    Fields fields;
    fields.maskAndTexts = c.maskAndTexts;
    fields.sectionB = "39 l:120 FF";
    const Decoded d = DecodeHex(*decoder, Stream(fields));
    std::vector<std::string> lines(d.listing.begin() + kFirstTextLine, d.listing.end());
    std::vector<std::string> expected = c.lines;
    expected.push_back("Left: 120");  // section B follows the last text directly
    EXPECT_EQ(lines, expected);
  }
}

TEST(PickerRuns, ResetRestoresEveryNewProcessValue) {
  const auto fresh = FindDecoder("CommonDialog");
  const Decoded empty = DecodeHex(*fresh, "");  // nothing to read: the block shows the start values

  const auto decoder = FindDecoder("CommonDialog");
  Fields fields;
  fields.flags = "l:63";
  fields.orientation = "l:2";
  fields.color = "l:255";
  fields.maskAndTexts =
      "l:255 l:1 u\"a\" l:1 u\"b\" l:1 u\"c\" l:1 u\"d\" l:1 u\"e\" l:1 u\"f\" l:1 u\"g\" l:1 "
      "u\"h\"";
  fields.sectionB = "39 l:120 3A l:240 FF";
  const Decoded full = DecodeHex(*decoder, "01 w:4 0B w:1 u\"T\" " + Stream(fields));
  ASSERT_NE(full.block, empty.block);
  EXPECT_EQ(DecodeHex(*decoder, "").block, empty.block);

  const std::vector<std::string> expected = {
      "LibraryVersion3.0",        "_ExtentX          = 0",    "_ExtentY          = 0",
      "_Version          = ",     "CancelError       = ",     "Color             = 0",
      "Copies            = 0",    "DefaultExt        = \"\"", "DialogTitle       = \"\"",
      "FileName          = \"\"", "Filter            = \"\"", "FilterIndex       = 0",
      "Flags             = 0",    "FontBold          = ",     "FontItalic        = ",
      "FontName          = \"\"", "FontSize          = ",     "FontStrikeThru    = ",
      "FontUnderLine     = ",     "FromPage          = 0",    "HelpCommand       = 0",
      "HelpContext       = 0",    "HelpFile          = \"\"", "HelpKey           = \"\"",
      "InitDir           = \"\"", "Max               = 0",    "Min               = 0",
      "MaxFileSize       = 0",    "PrinterDefault    = ",     "ToPage            = 0",
      "Orientation       = 0",
  };
  EXPECT_EQ(empty.block, expected);
  EXPECT_EQ(empty.listing, std::vector<std::string>{"Unexpected end of file"});
}

TEST(PickerRuns, StreamCutInsideTheControlBlockReadsZerosAndEnds) {
  const auto decoder = FindDecoder("CommonDialog");
  // Section A, the header, the extent and the first byte of item 4 only.
  const Decoded d = DecodeHex(*decoder, "2D z:16 l:1005 l:847 00");
  ASSERT_EQ(d.listing.size(), 6u + 8 + 5 + 1);
  EXPECT_EQ(d.listing.front(), "Font Bold: False");
  EXPECT_EQ(d.listing.back(), "Unexpected end of file");
  EXPECT_EQ(BlockValue(d, "_ExtentX"), "1005");
  EXPECT_EQ(BlockValue(d, "_Version"), "0");
  EXPECT_EQ(BlockValue(d, "FontSize"), "0");
}

}  // namespace
}  // namespace tvx::testing
