#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "memory_files.h"
#include "recording_text_box.h"
#include "tvx/decode_run.h"
#include "tvx/dispatcher.h"
#include "tvx/text.h"

namespace tvx {
namespace {

const std::string kEnd(1, kEndMark);

struct RequestCase {
  const char* name;
  std::string text;  // without the end mark
  bool valid;
  const char* path;
  double start;
  bool offsets;
};

void PrintTo(const RequestCase& c, std::ostream* os) {
  *os << c.name;
}

class RequestParsing : public ::testing::TestWithParam<RequestCase> {};

TEST_P(RequestParsing, Parses) {
  const RequestCase& c = GetParam();
  const Request r = ParseRequest(c.text + kEnd);
  ASSERT_EQ(r.valid, c.valid);
  if (!c.valid) return;
  EXPECT_EQ(r.path, c.path);
  EXPECT_EQ(r.start, c.start);
  EXPECT_EQ(r.offsets, c.offsets);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RequestParsing,
    ::testing::Values(RequestCase{"plain", "%C:\\work\\app.exe#5120@Y", true, "C:\\work\\app.exe",
                                  5120, true},
                      RequestCase{"leading_zeros", "%a.exe#0010@N", true, "a.exe", 10, false},
                      RequestCase{"lower_y", "%a.exe#7@y", true, "a.exe", 7, false},
                      RequestCase{"no_flag", "%a.exe#7@", true, "a.exe", 7, false},
                      RequestCase{"extra_after_flag", "%a.exe#7@Yes", true, "a.exe", 7, true},
                      RequestCase{"first_hash_ends_path", "%a#b.exe#7@Y", false, "", 0, false},
                      RequestCase{"at_in_path", "%a@b.exe#7@Y", false, "", 0, false},
                      RequestCase{"blanks", "%a.exe#  12 @Y", true, "a.exe", 12, true},
                      RequestCase{"half_to_even_down", "%a#2.5@Y", true, "a", 2, true},
                      RequestCase{"half_to_even_up", "%a#3.5@Y", true, "a", 4, true},
                      RequestCase{"fraction", "%a#1.4@N", true, "a", 1, false},
                      RequestCase{"half_rounds_to_zero", "%a#0.5@N", false, "", 0, false},
                      RequestCase{"zero", "%a#0@N", false, "", 0, false},
                      RequestCase{"empty_offset", "%a#@N", false, "", 0, false},
                      RequestCase{"sign", "%a#-5@N", false, "", 0, false},
                      RequestCase{"exponent", "%a#1e3@N", false, "", 0, false},
                      RequestCase{"two_points", "%a#1.2.3@N", false, "", 0, false},
                      RequestCase{"letters", "%a#12x@N", false, "", 0, false},
                      RequestCase{"no_hash", "%a.exe@N", false, "", 0, false},
                      RequestCase{"no_at", "%a.exe#12", false, "", 0, false},
                      RequestCase{"at_before_hash", "%a@12#N", false, "", 0, false},
                      RequestCase{"huge", "%a#1000000000000000@N", true, "a", 1e15, false},
                      RequestCase{"beyond_any_double", "%a#1" + std::string(400, '0') + "@N", true,
                                  "a", std::numeric_limits<double>::max(), false},
                      RequestCase{"below_any_double", "%a#0." + std::string(400, '0') + "1@N",
                                  false, "", 0, false},
                      RequestCase{"empty_path", "%#1@N", true, "", 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RequestParsing, TooLongIsInvalid) {
  std::string text = "%a#1@N";
  text.append(kMaxMessageLength - text.size() - 1, 'x');
  EXPECT_TRUE(ParseRequest(text + kEnd).valid);  // exactly 32,767 characters
  EXPECT_FALSE(ParseRequest(text + "x" + kEnd).valid);
}

// A decoder that lists what it was asked for, so the dispatcher's work is visible.
class EchoDecoder final : public Decoder {
 public:
  static constexpr DeliverableInfo kInfo = {"TEST.Echo", "Echo", "Echo", 18, ""};
  int resets = 0;
  int reads = 0;
  const DeliverableInfo& Info() const override { return kInfo; }
  void Reset() override {
    ++resets;
    first_ = -1;
  }
  DecodeEnd ReadStream(DecodeContext& ctx) override {
    ++reads;
    const double at = ctx.Position();
    first_ = ctx.ReadByte();
    ctx.LineAt(at, "First: ", NumberChars(first_));
    return DecodeEnd::kEndCode;
  }
  void WriteBlock(BlockWriter& out) const override {
    out.VersionLine();
    static constexpr PropertyDef kFirst = {"First"};
    out.NumberIfSet(kFirst, Read<double>(first_));
  }

 private:
  double first_ = -1;
};

class DispatcherTest : public ::testing::Test {
 protected:
  DispatcherTest() : dispatcher(decoder, files, box) {
    box.dispatcher = &dispatcher;
    files.inputs["in.bin"] = std::string("\x10\x20\x30", 3);
  }
  EchoDecoder decoder;
  testing::MemoryFileSystem files;
  testing::RecordingTextBox box;
  tvx::Dispatcher dispatcher;
};

TEST_F(DispatcherTest, RequestRunsOneDecodeAndReplies) {
  box.Host("%in.bin#2@Y" + kEnd);
  EXPECT_EQ(decoder.reads, 1);
  EXPECT_EQ(files.opened, std::vector<std::string>{"in.bin"});
  ASSERT_EQ(box.setByPlugin.size(), 1u);
  EXPECT_EQ(box.setByPlugin[0], "^DONE" + kEnd);
  EXPECT_EQ(box.text, "^DONE" + kEnd);
  EXPECT_EQ(box.maxDepth, 2);
  EXPECT_EQ(files.outputs["TEVOLIBFILE.TMP"], "First: 32\r\n  (Offset d/h: 2/2)\r\n");
  EXPECT_EQ(files.outputs["TEVOLIBFILE2.TMP"], "LibraryVersion3.0\r\nFirst             = 32\r\n");
  EXPECT_EQ(files.outputs.count("TEVOGRAPHICFILE1.TMP"), 0u);
}

TEST_F(DispatcherTest, IgnoresTextsWithoutTheEndMark) {
  box.Host("");
  box.Host("Data ExchangeTextBox\r\n");
  box.Host("%in.bin#1@Y");
  box.Host("^END");
  EXPECT_EQ(decoder.reads, 0);
  EXPECT_TRUE(box.setByPlugin.empty());
  EXPECT_EQ(box.ended, 0);
}

TEST_F(DispatcherTest, ReplyFormMessages) {
  box.Host("^" + kEnd);
  box.Host("^STOP" + kEnd);
  box.Host("^done" + kEnd);
  box.Host("^end" + kEnd);
  box.Host("^DONE" + kEnd);
  EXPECT_EQ(box.ended, 0);
  EXPECT_TRUE(box.setByPlugin.empty());
  box.Host("^END" + kEnd);
  EXPECT_EQ(box.ended, 1);
  EXPECT_EQ(decoder.reads, 0);
}

TEST_F(DispatcherTest, OtherFirstCharactersDoNothing) {
  box.Host("xin.bin#1@Y" + kEnd);
  box.Host(kEnd);
  EXPECT_TRUE(box.setByPlugin.empty());
}

TEST_F(DispatcherTest, LowerCaseFlagMeansNoOffsets) {
  box.Host("%in.bin#1@y" + kEnd);
  EXPECT_EQ(files.outputs["TEVOLIBFILE.TMP"], "First: 16\r\n");
}

TEST_F(DispatcherTest, MalformedRequestIsAnsweredWithoutReading) {
  for (const std::string bad : {"%in.bin@1#Y", "%in.bin#x@Y", "%in.bin#0@Y", "%in.bin1@Y"}) {
    box.setByPlugin.clear();
    files.outputs.clear();
    box.Host(bad + kEnd);
    EXPECT_EQ(box.setByPlugin.size(), 1u) << bad;
    EXPECT_EQ(files.outputs["TEVOLIBFILE.TMP"], "Invalid request\r\n") << bad;
    EXPECT_EQ(files.outputs["TEVOLIBFILE2.TMP"], "LibraryVersion3.0\r\n") << bad;
  }
  EXPECT_EQ(decoder.reads, 0);
}

TEST_F(DispatcherTest, OverlongMessageIsAnInvalidRequest) {
  box.Host(std::string(40000, 'a') + kEnd);
  EXPECT_EQ(box.setByPlugin.size(), 1u);
  EXPECT_EQ(files.outputs["TEVOLIBFILE.TMP"], "Invalid request\r\n");
}

TEST_F(DispatcherTest, MissingInputIsListedAndTheBlockStillWritten) {
  box.Host("%nowhere.bin#1@N" + kEnd);
  EXPECT_EQ(files.outputs["TEVOLIBFILE.TMP"], "Cannot open input file: nowhere.bin\r\n");
  EXPECT_EQ(files.outputs["TEVOLIBFILE2.TMP"], "LibraryVersion3.0\r\n");
  EXPECT_EQ(files.inputs.count("nowhere.bin"), 0u);
  box.Host("%#1@N" + kEnd);
  EXPECT_EQ(files.outputs["TEVOLIBFILE.TMP"], "Cannot open input file: \r\n");
}

TEST_F(DispatcherTest, EveryRunStartsFromFreshValues) {
  box.Host("%in.bin#1@N" + kEnd);
  EXPECT_EQ(files.outputs["TEVOLIBFILE2.TMP"], "LibraryVersion3.0\r\nFirst             = 16\r\n");
  box.Host("%nowhere.bin#1@N" + kEnd);
  EXPECT_EQ(files.outputs["TEVOLIBFILE2.TMP"], "LibraryVersion3.0\r\n");
  EXPECT_EQ(decoder.resets, 2);
}

TEST_F(DispatcherTest, StartPastTheEndReadsNothing) {
  box.Host("%in.bin#1000000000000000@Y" + kEnd);
  EXPECT_EQ(files.outputs["TEVOLIBFILE.TMP"],
            "First: 0\r\n  (Offset d/h: 1E+15/38D7EA4C68000)\r\n");
}

}  // namespace
}  // namespace tvx
