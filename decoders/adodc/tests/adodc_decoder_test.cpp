// The control block of the ADO data control, one field at a time: every enumeration value, the
// all-bits-set conversions, the colour threshold and the font record's charset and styles.
#include "adodc/adodc_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "decode_lines.h"
#include "registry.h"

namespace tvx {
namespace {

// Byte offsets in the control block, counted from the byte after code 45.
constexpr std::size_t kMode = 32;
constexpr std::size_t kCursorLocation = 36;
constexpr std::size_t kIsolationLevel = 40;
constexpr std::size_t kConnectionTimeout = 44;
constexpr std::size_t kCommandTimeout = 48;
constexpr std::size_t kCursorType = 52;
constexpr std::size_t kLockType = 56;
constexpr std::size_t kCommandType = 60;
constexpr std::size_t kCursorOptions = 64;
constexpr std::size_t kCacheSize = 68;
constexpr std::size_t kMaxRecords = 72;
constexpr std::size_t kBOFAction = 76;
constexpr std::size_t kEOFAction = 80;
constexpr std::size_t kConnectStringType = 84;
constexpr std::size_t kAppearance = 88;
constexpr std::size_t kBackColor = 92;
constexpr std::size_t kForeColor = 96;
constexpr std::size_t kOrientation = 100;
constexpr std::size_t kEnabled = 104;
constexpr std::size_t kFixedPart = 108;
constexpr std::size_t kCounts = 9 * 4;
constexpr std::size_t kFont = kFixedPart + kCounts;  // A, B, weight, size, name length

void PutLong(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Code 45, a control block of zeros (nine empty texts, a font without a name), code 255.
std::vector<std::uint8_t> EmptyStream() {
  std::vector<std::uint8_t> bytes(1 + kFont + 11 + 1, 0);
  bytes.front() = 0x2D;
  bytes.back() = 0xFF;
  return bytes;
}

using testing::HasLine;
using Decoded = testing::DecodedLines;

Decoded Decode(const std::vector<std::uint8_t>& bytes) {
  return testing::DecodeBytes(*FindDecoder("Adodc"), std::string(bytes.begin(), bytes.end()));
}

struct FieldCase {
  std::size_t offset;
  std::uint32_t raw;
  const char* listingLine;  // "" for a field without a listing line
  const char* blockLine;
};

class NavigatorControlBlockField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(NavigatorControlBlockField, ListsAndWritesTheValue) {
  const FieldCase& c = GetParam();
  std::vector<std::uint8_t> bytes = EmptyStream();
  PutLong(bytes, 1 + c.offset, c.raw);
  const Decoded out = Decode(bytes);
  if (*c.listingLine != '\0') {
    EXPECT_TRUE(HasLine(out.listing, c.listingLine)) << ::testing::PrintToString(out.listing);
  }
  EXPECT_TRUE(HasLine(out.block, c.blockLine)) << ::testing::PrintToString(out.block);
  EXPECT_FALSE(HasLine(out.listing, "Unexpected end of file"));
}

const FieldCase kModes[] = {
    {kMode, 0, "Mode: 0 - adModeUnknown", "ConnectMode       = 0"},
    {kMode, 1, "Mode: 1 - adModeRead", "ConnectMode       = 1"},
    {kMode, 2, "Mode: 2 - adModeWrite", "ConnectMode       = 2"},
    {kMode, 3, "Mode: 3 - adModeReadWrite", "ConnectMode       = 3"},
    {kMode, 4, "Mode: 4 - adShareDenyRead", "ConnectMode       = 4"},
    {kMode, 8, "Mode: 8 - adShareDenyWrite", "ConnectMode       = 8"},
    {kMode, 12, "Mode: 12 - adModeShareExclusive", "ConnectMode       = 12"},
    {kMode, 16, "Mode: 16 - adModeShareDenyNone", "ConnectMode       = 16"},
    {kMode, 4194304, "Mode: 4194304 - adModeRecursive", "ConnectMode       = 4194304"},
    {kMode, 19, "Mode: 0 - adModeUnknown", "ConnectMode       = 19"},
    {kMode, 4294967295u, "Mode: 0 - adModeUnknown", "ConnectMode       = 4294967295"},
};
INSTANTIATE_TEST_SUITE_P(Mode, NavigatorControlBlockField, ::testing::ValuesIn(kModes));

const FieldCase kEnumerations[] = {
    {kCursorLocation, 2, "CursorLocation: 2 - adUseServer", "CursorLocation    = 2"},
    {kCursorLocation, 3, "CursorLocation: 3 - adUseClient", "CursorLocation    = 3"},
    {kCursorLocation, 1, "CursorLocation: 3 - adUseClient", "CursorLocation    = 1"},
    {kCursorType, 1, "CursorType:1 - adOpenKeyset", "CursorType        = 1"},
    {kCursorType, 2, "CursorType:2 - adOpenDynamic", "CursorType        = 2"},
    {kCursorType, 3, "CursorType:3 - adOpenStatic", "CursorType        = 3"},
    {kCursorType, 0, "CursorType:3 - adOpenStatic", "CursorType        = 0"},
    {kLockType, 1, "LockType:1 - adLockReadOnly", "LockType          = 1"},
    {kLockType, 2, "LockType:2 - adLockPessimistic", "LockType          = 2"},
    {kLockType, 3, "LockType:3 - adLockOptimistic", "LockType          = 3"},
    {kLockType, 4, "LockType:4 - adLockBatchOptimistic", "LockType          = 4"},
    {kLockType, 4294967295u, "LockType:-1 - adLockUnspecified", "LockType          = -1"},
    {kLockType, 4294967294u, "LockType:3 - adLockOptimistic", "LockType          = 4294967294"},
    {kLockType, 65535, "LockType:3 - adLockOptimistic", "LockType          = 65535"},
    {kCommandType, 1, "CommandType:1 - adCmdText", "CommandType       = 1"},
    {kCommandType, 2, "CommandType:2 - adCmdTable", "CommandType       = 2"},
    {kCommandType, 4, "CommandType:4 - adCmdStoredProc", "CommandType       = 4"},
    {kCommandType, 8, "CommandType:8 - adCmdUnknown", "CommandType       = 8"},
    {kCommandType, 512, "CommandType:8 - adCmdUnknown", "CommandType       = 512"},
    {kBOFAction, 0, "BOFAction:0 - adDoMoveFirst", "BOFAction         = 0"},
    {kBOFAction, 1, "BOFAction:1 - adStayBOF", "BOFAction         = 1"},
    {kBOFAction, 2, "BOFAction:0 - adDoMoveFirst", "BOFAction         = 2"},
    {kEOFAction, 0, "EOFAction:0 - adDoMoveLast", "EOFAction         = 0"},
    {kEOFAction, 1, "EOFAction:1 - adStayEOF", "EOFAction         = 1"},
    {kEOFAction, 2, "EOFAction:2 - adDoAddNew", "EOFAction         = 2"},
    {kEOFAction, 3, "EOFAction:0 - adDoMoveLast", "EOFAction         = 3"},
    {kAppearance, 0, "Appearance:0 - adFlatBevel", "Appearance        = 0"},
    {kAppearance, 1, "Appearance:1 - ad3DBevel", "Appearance        = 1"},
    {kAppearance, 2, "Appearance:1 - ad3DBevel", "Appearance        = 2"},
    {kOrientation, 0, "Orientation:0 - adHorizontal", "Orientation       = 0"},
    {kOrientation, 1, "Orientation:1 - adVertical", "Orientation       = 1"},
    {kOrientation, 2, "Orientation:0 - adHorizontal", "Orientation       = 2"},
    {kEnabled, 0, "Enabled:False", "Enabled           = 0"},
    {kEnabled, 1, "Enabled:True", "Enabled           = 1"},
    {kEnabled, 65535, "Enabled:True", "Enabled           = -1"},
    {kEnabled, 4294967295u, "Enabled:True", "Enabled           = -1"},
    {kEnabled, 65534, "Enabled:True", "Enabled           = 65534"},
};
INSTANTIATE_TEST_SUITE_P(Enumerations, NavigatorControlBlockField,
                         ::testing::ValuesIn(kEnumerations));

const FieldCase kNumbersAndColours[] = {
    {kIsolationLevel, 4294967295u, "", "IsolationLevel    = -1"},
    {kIsolationLevel, 4096, "", "IsolationLevel    = 4096"},
    {kIsolationLevel, 65535, "", "IsolationLevel    = 65535"},
    {kConnectionTimeout, 15, "ConnectionTimeout:15", "ConnectionTimeout = 15"},
    {kCommandTimeout, 30, "CommandTimeout: 30", "CommandTimeout    = 30"},
    {kCursorOptions, 4294967295u, "", "CursorOptions     = 4294967295"},
    {kCacheSize, 50, "CacheSize:50", "CacheSize         = 50"},
    {kMaxRecords, 4294967295u, "MaxRecords:4294967295", "MaxRecords        = 4294967295"},
    {kConnectStringType, 4, "", "ConnectStringType = 4"},
    {kBackColor, 255, "BackColor: &H000000FF&", "BackColor         = 255"},
    {kBackColor, 16777215, "BackColor: &H00FFFFFF&", "BackColor         = 16777215"},
    {kBackColor, 16777216, "BackColor: &H01000000&", "BackColor         = -4278190080"},
    {kBackColor, 0x8000000F, "BackColor: &H8000000F&", "BackColor         = -2147483633"},
    {kForeColor, 0x80000012, "ForeColor: &H80000012&", "ForeColor         = -2147483630"},
    {kForeColor, 4294967295u, "ForeColor: &HFFFFFFFF&", "ForeColor         = -1"},
};
INSTANTIATE_TEST_SUITE_P(NumbersAndColours, NavigatorControlBlockField,
                         ::testing::ValuesIn(kNumbersAndColours));

struct FontCase {
  std::uint16_t a;
  std::uint16_t b;
  const char* charset;
  bool italic;
  bool underline;
  bool strikethrough;
};

class NavigatorFontRecord : public ::testing::TestWithParam<FontCase> {};

// The record is version byte, 16-bit charset, attribute byte: the charset straddles the words.
TEST_P(NavigatorFontRecord, CharsetAndStyles) {
  const FontCase& c = GetParam();
  std::vector<std::uint8_t> bytes = EmptyStream();
  PutWord(bytes, 1 + kFont, c.a);
  PutWord(bytes, 1 + kFont + 2, c.b);
  const Decoded out = Decode(bytes);
  const auto listed = [](const char* name, bool on) {
    return std::string(name) + (on ? ": True" : ": False");
  };
  const auto written = [](const char* label, bool on) {
    return std::string(label) + (on ? "-1 'True" : "-0 'False");
  };
  EXPECT_TRUE(HasLine(out.listing, std::string("FontCharacterSet: ") + c.charset))
      << ::testing::PrintToString(out.listing);
  EXPECT_TRUE(HasLine(out.block, std::string("  Charset        = ") + c.charset))
      << ::testing::PrintToString(out.block);
  EXPECT_TRUE(HasLine(out.listing, listed("FontItalic", c.italic)));
  EXPECT_TRUE(HasLine(out.listing, listed("FontUnderline", c.underline)));
  EXPECT_TRUE(HasLine(out.listing, listed("FontStrikethrough", c.strikethrough)));
  EXPECT_TRUE(HasLine(out.block, written("  Italic         = ", c.italic)));
  EXPECT_TRUE(HasLine(out.block, written("  Underline      = ", c.underline)));
  EXPECT_TRUE(HasLine(out.block, written("  Strikethrough  = ", c.strikethrough)));
}

INSTANTIATE_TEST_SUITE_P(Words, NavigatorFontRecord,
                         ::testing::Values(FontCase{0x0001, 0x0000, "0", false, false, false},
                                           FontCase{0x0001, 0x0600, "0", true, true, false},
                                           FontCase{0xA201, 0x0000, "162", false, false, false},
                                           FontCase{0x8601, 0x0800, "134", false, false, true},
                                           FontCase{0xFF01, 0x0E00, "255", true, true, true},
                                           FontCase{0x0001, 0x0101, "256", false, false, false},
                                           FontCase{0x0001, 0xF1FF, "65280", false, false, false}));

// Size, weight and name follow the two words.
TEST(NavigatorFontRecord, SizeWeightAndName) {
  std::vector<std::uint8_t> bytes = EmptyStream();
  PutWord(bytes, 1 + kFont + 4, 700);
  PutLong(bytes, 1 + kFont + 6, 82500);
  bytes[1 + kFont + 10] = 5;
  const std::string name = "Arial";
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(1 + kFont + 11), name.begin(),
               name.end());
  const Decoded out = Decode(bytes);
  EXPECT_TRUE(HasLine(out.listing, "FontWeight:700"));
  EXPECT_TRUE(HasLine(out.listing, "FontSize:8.25"));
  EXPECT_TRUE(HasLine(out.listing, "FontName:Arial"));
  EXPECT_TRUE(HasLine(out.block, "  Name           = \"Arial\""));
  EXPECT_TRUE(HasLine(out.block, "  Size           = 8.25"));
  EXPECT_TRUE(HasLine(out.block, "  Weight         = 700"));
  EXPECT_FALSE(HasLine(out.listing, "Unexpected end of file"));
}

// A run after one that set every kind of property writes what a fresh process writes.
TEST(NavigatorReset, ResetsEverything) {
  std::vector<std::uint8_t> full = {0x07, 0x00, 0x09, 0x00, 0x03, 1, 0, 2, 0, 3, 0, 4, 0};
  const std::vector<std::uint8_t> rest = EmptyStream();
  full.insert(full.end(), rest.begin(), rest.end() - 1);
  for (std::size_t i = 0; i < kFixedPart; ++i)
    full[13 + 1 + i] = 0x11;
  // Replace the nine empty counts by counts of one unit each, and give the font a name.
  full.resize(13 + 1 + kFixedPart);
  for (std::uint8_t t = 0; t < 9; ++t) {
    const std::uint8_t text[] = {1, 0, 0, 0, static_cast<std::uint8_t>('A' + t), 0};
    full.insert(full.end(), std::begin(text), std::end(text));
  }
  const std::uint8_t font[] = {1, 0xA2, 0x00, 0x0E, 0x90, 0x01, 0x10, 0x27, 0, 0, 1, 'X'};
  full.insert(full.end(), std::begin(font), std::end(font));
  const std::uint8_t sectionB[] = {0x3B, 1, 0x3C, 0, 0x46, 5, 0, 0, 0, 0x4A, 0, 0, 'T', 0, 0xFF};
  full.insert(full.end(), std::begin(sectionB), std::end(sectionB));

  const auto used = FindDecoder("Adodc");
  const std::string fullBytes(full.begin(), full.end());
  const Decoded first = testing::DecodeBytes(*used, fullBytes);
  EXPECT_TRUE(HasLine(first.block, "Caption           = \"I\""))
      << ::testing::PrintToString(first.block);
  EXPECT_TRUE(HasLine(first.block, "ToolTipText       = \"T\""))
      << ::testing::PrintToString(first.block);

  const std::string cut = "\x01";  // Index, its word past the end
  EXPECT_EQ(testing::DecodeBytes(*used, cut).block,
            testing::DecodeBytes(*FindDecoder("Adodc"), cut).block);
}

}  // namespace
}  // namespace tvx
