// The serial communications decoder on streams built in memory: the settings' renderings, the
// flag word, ParityReplace, the reset between runs.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "comm/comm_decoder.h"
#include "decode_lines.h"
#include "registry.h"

namespace tvx::testing {
namespace {

using Decoded = DecodedLines;

struct Fields {
  std::string parity = "w:0";
  std::string handshaking = "w:0";
  std::string parityReplace = "w:63";
  std::string flags = "w:1";
  std::string sectionB = "FF";
};

std::string Stream(const Fields& f) {
  return "2D z:16 l:1005 l:1005 l:0 l:393216 w:0 w:1 w:1024 w:0 w:512 w:0 l:9600 " + f.parity +
         " w:8 w:1 w:0 " + f.handshaking + " w:0 " + f.parityReplace + " w:0 " + f.flags + " w:0 " +
         f.sectionB;
}

// Listing line numbers (0-based) of the stream above.
constexpr std::size_t kParityLine = 7;
constexpr std::size_t kHandshakingLine = 10;
constexpr std::size_t kParityReplaceLine = 11;
constexpr std::size_t kFirstFlagLine = 12;

Decoded DecodeFresh(const Fields& fields) {
  const auto decoder = FindDecoder("MSComm");
  return DecodeHex(*decoder, Stream(fields));
}

// Values beyond the named ones list the last name and keep the word as read.
TEST(SerialLinkSettings, ParityAndHandshakingBeyondTheirNames) {
  Fields fields;
  fields.parity = "w:65535";
  fields.handshaking = "w:65535";
  const Decoded d = DecodeFresh(fields);
  EXPECT_EQ(d.listing.at(kParityLine), "Parity: Even");
  EXPECT_EQ(d.listing.at(kHandshakingLine), "Handshaking: 3 - comRTSXOnXoff");
  EXPECT_EQ(BlockValue(d, "ParitySetting"), "65535");
  EXPECT_EQ(BlockValue(d, "Handshaking"), "65535");
}

TEST(SerialLinkSettings, ParityReplaceListsTheCharacterOfItsLowByteAndWritesTheCode) {
  const struct {
    std::string word, line, stored;
  } cases[] = {
      {"w:63", "ParityReplace: ?", "63"},
      {"w:0x41", "ParityReplace: A", "65"},
      {"w:0x1E9", std::string("ParityReplace: ") + '\xE9', "489"},
      {"w:0xFF3F", "ParityReplace: ?", "65343"},
  };
  for (const auto& c : cases) {
    Fields fields;
    fields.parityReplace = c.word;
    const Decoded d = DecodeFresh(fields);
    EXPECT_EQ(d.listing.at(kParityReplaceLine), c.line);
    EXPECT_EQ(BlockValue(d, "ParityReplace"), c.stored);
  }
}

TEST(SerialLinkFlagWord, FiveLinesAndStoredValues) {
  const struct {
    std::string word;
    std::vector<std::string> lines;
    std::vector<std::string> stored;  // DTREnable, NullDiscard, RTSEnable, EOFEnable, InputMode
  } cases[] = {
      {"w:10",
       {"DTREnable: False", "NullDiscard: True", "RTSEnable: False", "EOFEnable: True",
        "InputMode: 0 -comInputModeText"},
       {"0  'False", "1  'True", "0  'False", "1  'True", "0"}},
      // Bits above bit 4 are ignored.
      {"w:0xFFE0",
       {"DTREnable: False", "NullDiscard: False", "RTSEnable: False", "EOFEnable: False",
        "InputMode: 0 -comInputModeText"},
       {"0  'False", "0  'False", "0  'False", "0  'False", "0"}},
  };
  const char* names[] = {"DTREnable", "NullDiscard", "RTSEnable", "EOFEnable", "InputMode"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word);
    Fields fields;
    fields.flags = c.word;
    const Decoded d = DecodeFresh(fields);
    ASSERT_GE(d.listing.size(), kFirstFlagLine + 5);
    EXPECT_EQ(std::vector<std::string>(d.listing.begin() + kFirstFlagLine,
                                       d.listing.begin() + kFirstFlagLine + 5),
              c.lines);
    for (std::size_t i = 0; i < 5; ++i)
      EXPECT_EQ(BlockValue(d, names[i]), c.stored[i]);
  }
}

TEST(SerialLinkRuns, ResetRestoresEveryNewProcessValue) {
  const auto fresh = FindDecoder("MSComm");
  const Decoded empty = DecodeHex(*fresh, "");
  const std::vector<std::string> expected = {
      "LibraryVersion3.0",     "_ExtentX          = 0", "_ExtentY          = 0",
      "_Version          = ",  "CommPort          = 0", "DTREnable         = ",
      "Handshaking       = 0", "InBufferSize      = 0", "InputLen          = 0",
      "NullDiscard       = ",  "OutBufferSize     = 0", "ParityReplace     = 0",
      "RThreshold        = 0", "RTSEnable         = ",  "BaudRate          = 0",
      "ParitySetting     = 0", "DataBits          = 0", "StopBits          = 0",
      "SThreshold        = 0", "EOFEnable         = ",  "InputMode         = 0",
  };
  EXPECT_EQ(empty.block, expected);
  EXPECT_EQ(empty.listing, std::vector<std::string>{"Unexpected end of file"});

  const auto decoder = FindDecoder("MSComm");
  Fields fields;
  fields.flags = "w:31";
  fields.sectionB = "39 l:120 3A l:240 FF";
  const Decoded full = DecodeHex(*decoder, "01 w:2 0B w:3 u\"c\\\"m\" " + Stream(fields));
  EXPECT_EQ(full.listing.front(), "Tag: c\"m");
  EXPECT_EQ(BlockValue(full, "Tag"), "\"c\"\"m\"");
  EXPECT_EQ(BlockValue(full, "Index"), "2");
  EXPECT_EQ(DecodeHex(*decoder, "").block, expected);
}

TEST(SerialLinkRuns, StreamCutInsideTheControlBlockReadsZerosAndEnds) {
  const auto decoder = FindDecoder("MSComm");
  const Decoded d = DecodeHex(*decoder, "2D z:16 l:1005 l:1005 l:0 l:393216 w:0 w:2");
  ASSERT_EQ(d.listing.size(), 17u + 1);
  EXPECT_EQ(d.listing[1], "CommPort: 2");
  EXPECT_EQ(d.listing[2], "InBufferSize: 0");
  EXPECT_EQ(d.listing.back(), "Unexpected end of file");
  EXPECT_EQ(BlockValue(d, "_Version"), "393216");
  EXPECT_EQ(BlockValue(d, "DTREnable"), "0  'False");
}

}  // namespace
}  // namespace tvx::testing
