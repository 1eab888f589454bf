#include "tvx/reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory_files.h"
#include "tvx/long_texts.h"
#include "tvx/text.h"

namespace tvx {
namespace {

// The stream's bytes, standing at position `base` of a file that holds zeros before them.
struct Stream {
  explicit Stream(std::vector<std::uint8_t> b, std::size_t base = 1)
      : file(std::string(base - 1, '\0') + std::string(b.begin(), b.end())),
        input(file),
        r(input, static_cast<double>(base)) {}
  std::string file;
  BytesInput input;
  StreamReader r;
};

TEST(StreamReader, NumbersAreLittleEndianAndUnsigned) {
  Stream s({0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0x80});
  EXPECT_EQ(s.r.ReadWord(), 4660);
  EXPECT_EQ(s.r.ReadLong(), 4294967295u);
  EXPECT_EQ(s.r.ReadByte(), 128);
  EXPECT_EQ(s.r.Position(), 8);
  EXPECT_TRUE(s.r.AtEnd());
}

TEST(StreamReader, PositionsAreFilePositions) {
  Stream s({0x01, 0x02, 0x03}, 1000);
  EXPECT_EQ(s.r.Position(), 1000);
  EXPECT_EQ(s.r.ReadWord(), 0x0201);
  EXPECT_EQ(s.r.Position(), 1002);
  EXPECT_FALSE(s.r.AtEnd());
}

TEST(StreamReader, NumbersPastTheEndReadZeroAndAdvance) {
  Stream s({0xAB, 0xCD, 0x01});
  EXPECT_EQ(s.r.ReadWord(), 0xCDAB);
  // One byte left: the long takes it as its low byte and zeros for the rest.
  EXPECT_EQ(s.r.ReadLong(), 1);
  EXPECT_EQ(s.r.ReadByte(), 0);
  EXPECT_EQ(s.r.ReadWord(), 0);
  EXPECT_EQ(s.r.Position(), 10);
}

TEST(StreamReader, DosStringStopsAfterTheZero) {
  Stream s({0x61, 0x62, 0x63, 0x00, 0x7A});
  EXPECT_EQ(s.r.ReadZeroTerminated(), "abc");
  EXPECT_EQ(s.r.Position(), 5);
  EXPECT_EQ(s.r.ReadZeroTerminated(), "z");  // ends at the end of the file, no invented zero
  EXPECT_TRUE(s.r.AtEnd());
}

TEST(StreamReader, DosStringOfASingleZeroIsEmpty) {
  Stream s({0x00});
  EXPECT_EQ(s.r.ReadZeroTerminated(), "");
  EXPECT_EQ(s.r.Position(), 2);
}

TEST(StreamReader, UnicodeKeepsTheLowByte) {
  Stream s({0x41, 0x00, 0x42, 0x01, 0xE9, 0x00, 0x99});
  EXPECT_EQ(s.r.ReadUtf16LowBytes(3), "AB\xE9");
  EXPECT_EQ(s.r.Position(), 7);
}

TEST(StreamReader, ZeroLengthTextsReadNothing) {
  Stream s({0x41, 0x00});
  EXPECT_EQ(s.r.ReadUtf16LowBytes(0), "");
  EXPECT_EQ(s.r.ReadText(0), "");
  EXPECT_EQ(s.r.Position(), 1);
}

TEST(StreamReader, TextsStopAtTheEndOfTheFile) {
  Stream s({0x41, 0x00, 0x42});
  // Five units asked, one and a half in the file: only characters that are there.
  EXPECT_EQ(s.r.ReadUtf16LowBytes(5), "AB");
  Stream t({0x61, 0x62});
  EXPECT_EQ(t.r.ReadText(4294967295u), "ab");
  EXPECT_TRUE(t.r.AtEnd());
}

TEST(StreamReader, HugeCountsNeitherAllocateNorOverflow) {
  Stream s({0x01});
  EXPECT_EQ(s.r.ReadUtf16LowBytes(4294967295u), "\x01");
  s.r.Skip(UINT64_MAX);
  EXPECT_TRUE(s.r.AtEnd());
  EXPECT_EQ(s.r.ReadLong(), 0);
  EXPECT_EQ(s.r.CopyBytes(4294967295u), "");
}

TEST(StreamReader, CopyBytesCopiesExactly) {
  Stream s({0x00, 0x0D, 0x0A, 0xFF});
  EXPECT_EQ(s.r.CopyBytes(3), std::string("\x00\x0D\x0A", 3));
  EXPECT_EQ(s.r.CopyBytes(0), "");
  EXPECT_EQ(s.r.CopyBytes(10), "\xFF");
}

TEST(StreamReader, StartingPastTheEndReadsNothing) {
  for (const double start : {5.0, 1e15, 1e300}) {
    BytesInput input("abc");
    StreamReader r(input, start);
    EXPECT_TRUE(r.AtEnd()) << start;
    EXPECT_EQ(r.ReadByte(), 0) << start;
    EXPECT_EQ(r.ReadZeroTerminated(), "") << start;
    EXPECT_EQ(r.Position(), start + 2) << start;
  }
}

// Values read whole across the boundaries of the first fetch (4 KiB at the start) and the
// second (8 KiB from there), whichever value a boundary falls into.
TEST(StreamReader, ValuesAcrossChunkBoundariesReadWhole) {
  for (std::size_t lead = 4088; lead <= 4096; ++lead) {
    std::string file(lead, 'x');
    file += "\x34\x12\x78\x56\x34\x12";   // a word and a long
    file += std::string("A\0B\0C\0", 6);  // three UTF-16 units
    const std::size_t filler = 12285 - file.size();
    file += std::string(filler, 'y');
    file += std::string("hello\0", 6);  // across 4096 + 8192
    BytesInput input(file);
    StreamReader r(input, 1);
    EXPECT_EQ(r.ReadByte(), 'x');
    r.Skip(static_cast<double>(lead - 1));
    EXPECT_EQ(r.ReadWord(), 0x1234) << lead;
    EXPECT_EQ(r.ReadLong(), 0x12345678) << lead;
    EXPECT_EQ(r.ReadUtf16LowBytes(3), "ABC") << lead;
    EXPECT_EQ(r.ReadText(static_cast<double>(filler)), std::string(filler, 'y')) << lead;
    EXPECT_EQ(r.ReadZeroTerminated(), "hello") << lead;
    EXPECT_TRUE(r.AtEnd()) << lead;
  }
}

TEST(StreamReader, PeeksMoveNothingAndReadZeroPastTheEnd) {
  Stream s({0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
  EXPECT_EQ(s.r.PeekByte(2), 3u);
  EXPECT_EQ(s.r.PeekLong(2), 0x06050403u);
  EXPECT_EQ(s.r.PeekLong(4), 0x0605u);
  EXPECT_EQ(s.r.PeekByte(100000), 0u);
  EXPECT_EQ(s.r.Position(), 1);
  EXPECT_EQ(s.r.ReadByte(), 1);
}

// The observer is told of every read: its position, how many of the file's bytes it consumed
// (none past the end, none from a start beyond any file), how many it covers, and its value.
TEST(StreamReader, ObserverSeesEachReadAndTheFileBytesItConsumed) {
  struct Recorder final : DecodeObserver {
    void OnRead(const ReadEvent& e) override {
      reads.push_back(NumberText(e.position) + " " + std::to_string(static_cast<int>(e.kind)) +
                      " " + std::to_string(e.size) + " " + std::to_string(e.count) + " " +
                      std::to_string(e.number) + " " + std::string(e.text));
    }
    std::vector<std::string> reads;
  };
  Recorder seen;
  Stream s({0x05, 0x41, 0x42, 0x00, 0x07}, 3);  // a file of 7 bytes, the stream at 3
  s.r.SetObserver(&seen);
  s.r.ReadByte();
  s.r.ReadZeroTerminated();
  s.r.Skip(3, ReadKind::kControlBlockGap);  // the file's last byte and two past it
  s.r.ReadWord();
  s.r.ReadUtf16LowBytes(2);
  s.r.Skip(2);
  StreamReader far(s.input, 1e300);
  far.SetObserver(&seen);
  far.Skip(4);
  // kind: 0 byte, 1 word, 3 zero-terminated text, 5 UTF-16 low bytes, 6 skipped, 7 gap
  EXPECT_EQ(seen.reads,
            (std::vector<std::string>{"3 0 1 1 5 ", "4 3 3 3 0 AB", "7 7 3 1 0 ", "10 1 2 0 0 ",
                                      "12 5 4 0 0 ", "16 6 2 0 0 ", "1E+300 6 4 0 0 "}));
  // Texts longer than a table's threshold, left in the file: the zero is consumed too, and at the
  // file's end there is none. (Their stand-ins, the events' texts, hold a random key.)
  LongTexts texts(4);
  Stream t({0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x00, 0x07, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66});
  t.r.SetObserver(&seen);
  t.r.SetLongTexts(&texts);
  seen.reads.clear();
  t.r.ReadZeroTerminated();
  t.r.ReadByte();
  t.r.ReadZeroTerminated();
  for (std::string& read : seen.reads)
    read.erase(read.rfind(' '));
  EXPECT_EQ(seen.reads, (std::vector<std::string>{"1 3 7 7 0", "8 0 1 1 7", "9 3 6 6 0"}));
  EXPECT_EQ(texts.size(), 2u);
}

// A decode fetches only what it consumes plus one chunk, wherever the stream lies in a big file.
TEST(StreamReader, FetchesTheBytesItConsumesPlusOneChunk) {
  testing::MemoryFileSystem files;
  std::string& file = files.inputs["big"] = std::string(8 << 20, '\x5A');
  file[(4 << 20) + 100] = '\0';
  InputSource* input = files.OpenInput("big");
  ASSERT_NE(input, nullptr);
  StreamReader r(*input, (4 << 20) + 1);
  EXPECT_EQ(r.ReadZeroTerminated().size(), 100u);
  r.Skip(1000);
  EXPECT_EQ(r.ReadLong(), 0x5A5A5A5Au);
  const auto consumed = static_cast<std::uint64_t>(r.Position() - ((4 << 20) + 1));
  EXPECT_LE(files.bytesRead, consumed + StreamReader::kMaxChunk);
  EXPECT_LE(files.bytesRead, std::uint64_t{StreamReader::kFirstChunk});

  // A long text fetches in growing chunks, never all of the file at once.
  StreamReader t(*input, 1);
  files.ClearRecords();
  EXPECT_EQ(t.ReadText(1 << 20).size(), 1u << 20);
  EXPECT_LE(files.bytesRead, (1u << 20) + StreamReader::kMaxChunk);
  EXPECT_GT(files.readOffsets.size(), 10u);
}

}  // namespace
}  // namespace tvx
