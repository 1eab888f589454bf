#include "tvx/reader.h"

#include <gtest/gtest.h>

#include <vector>

namespace tvx {
namespace {

struct Stream {
  explicit Stream(std::vector<std::uint8_t> b, double base = 1)
      : bytes(std::move(b)), r(bytes, base) {}
  std::vector<std::uint8_t> bytes;
  StreamReader r;
};

TEST(StreamReader, NumbersAreLittleEndianAndUnsigned) {
  Stream s({0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0x80});
  EXPECT_EQ(s.r.GetWord(), 4660);
  EXPECT_EQ(s.r.GetLong(), 4294967295.0);
  EXPECT_EQ(s.r.GetByte(), 128);
  EXPECT_EQ(s.r.Position(), 8);
  EXPECT_TRUE(s.r.AtEnd());
}

TEST(StreamReader, PositionsAreFilePositions) {
  Stream s({0x01, 0x02, 0x03}, 1000);
  EXPECT_EQ(s.r.Position(), 1000);
  s.r.GetWord();
  EXPECT_EQ(s.r.Position(), 1002);
  EXPECT_EQ(s.r.Remaining(), 1u);
}

TEST(StreamReader, NumbersPastTheEndReadZeroAndAdvance) {
  Stream s({0xAB, 0xCD, 0x01});
  EXPECT_EQ(s.r.GetWord(), 0xCDAB);
  // One byte left: the long takes it as its low byte and zeros for the rest.
  EXPECT_EQ(s.r.GetLong(), 1);
  EXPECT_EQ(s.r.GetByte(), 0);
  EXPECT_EQ(s.r.GetWord(), 0);
  EXPECT_EQ(s.r.Position(), 10);
}

TEST(StreamReader, DosStringStopsAfterTheZero) {
  Stream s({0x61, 0x62, 0x63, 0x00, 0x7A});
  EXPECT_EQ(s.r.GetDosString(), "abc");
  EXPECT_EQ(s.r.Position(), 5);
  EXPECT_EQ(s.r.GetDosString(), "z");  // ends at the end of the file, no invented zero
  EXPECT_TRUE(s.r.AtEnd());
}

TEST(StreamReader, DosStringOfASingleZeroIsEmpty) {
  Stream s({0x00});
  EXPECT_EQ(s.r.GetDosString(), "");
  EXPECT_EQ(s.r.Position(), 2);
}

TEST(StreamReader, UnicodeKeepsTheLowByte) {
  Stream s({0x41, 0x00, 0x42, 0x01, 0xE9, 0x00, 0x99});
  EXPECT_EQ(s.r.GetUnicodeStringWLen(3), "AB\xE9");
  EXPECT_EQ(s.r.Position(), 7);
}

TEST(StreamReader, ZeroLengthTextsReadNothing) {
  Stream s({0x41, 0x00});
  EXPECT_EQ(s.r.GetUnicodeStringWLen(0), "");
  EXPECT_EQ(s.r.GetDOSStringWLen(0), "");
  EXPECT_EQ(s.r.GetDOSStringWLen(-3), "");
  EXPECT_EQ(s.r.Position(), 1);
}

TEST(StreamReader, TextsStopAtTheEndOfTheFile) {
  Stream s({0x41, 0x00, 0x42});
  // Five units asked, one and a half in the file: only characters that are there.
  EXPECT_EQ(s.r.GetUnicodeStringWLen(5), "AB");
  Stream t({0x61, 0x62});
  EXPECT_EQ(t.r.GetDOSStringWLen(4294967295.0), "ab");
  EXPECT_TRUE(t.r.AtEnd());
}

TEST(StreamReader, HugeCountsNeitherAllocateNorOverflow) {
  Stream s({0x01});
  EXPECT_EQ(s.r.GetUnicodeStringWLen(4294967295.0), "\x01");
  s.r.Skip(1e300);
  EXPECT_TRUE(s.r.AtEnd());
  EXPECT_EQ(s.r.GetLong(), 0);
  EXPECT_EQ(s.r.CopyBytes(4294967295.0), "");
}

TEST(StreamReader, CopyBytesCopiesExactly) {
  Stream s({0x00, 0x0D, 0x0A, 0xFF});
  EXPECT_EQ(s.r.CopyBytes(3), std::string("\x00\x0D\x0A", 3));
  EXPECT_EQ(s.r.CopyBytes(0), "");
  EXPECT_EQ(s.r.CopyBytes(-7), "");
  EXPECT_EQ(s.r.CopyBytes(10), "\xFF");
}

TEST(StreamReader, EmptyStreamStartingPastTheEnd) {
  Stream s({}, 1e15);
  EXPECT_TRUE(s.r.AtEnd());
  EXPECT_EQ(s.r.GetByte(), 0);
  EXPECT_EQ(s.r.Position(), 1e15 + 1);
}

}  // namespace
}  // namespace tvx
