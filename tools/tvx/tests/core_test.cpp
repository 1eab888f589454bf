// tvx_core in-process: places, suggestions, the decode with long texts left in the file, the
// provenance of block lines on a toy decoder, the record finder, the collection walk and the
// scan pipeline.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include <unistd.h>

#include "cases.h"
#include "collection.h"
#include "control_index.h"
#include "controls.h"
#include "cross_check.h"
#include "decode.h"
#include "explanation.h"
#include "forms.h"
#include "hexstream.h"
#include "picture_format.h"
#include "places.h"
#include "provenance.h"
#include "record.h"
#include "record_finder.h"
#include "registry.h"
#include "scan.h"
#include "sha256.h"
#include "suggest.h"
#include "tvx/decode_run.h"
#include "tvx/long_texts.h"

namespace tvx::core {
namespace {

namespace fs = std::filesystem;

TEST(Places, PositionsOffsetsAndCounts) {
  struct Case {
    std::string text;
    bool offset;  // parsed as an offset
    PlaceError error;
    Position position;
    bool rounded;
  };
  const Case cases[] = {
      {"1025", false, PlaceError::kNone, 1025, false},
      {"  0001025 ", false, PlaceError::kNone, 1025, false},  // as a request carries it
      {"0x401", false, PlaceError::kNone, 0x401, false},      // still 1-based
      {"2.5", false, PlaceError::kNone, 2, true},             // half to even
      {"3.5", false, PlaceError::kNone, 4, true},
      {"7.", false, PlaceError::kNone, 7, true},
      {"0.5", false, PlaceError::kBelowOne, 0, false},
      {"0", false, PlaceError::kBelowOne, 0, false},
      {"0x0", false, PlaceError::kBelowOne, 0, false},
      {"9007199254740992", false, PlaceError::kNone, kMaxPosition, false},
      {"9007199254740993", false, PlaceError::kBeyondAnyFile, 0, false},
      {"0x20000000000001", false, PlaceError::kBeyondAnyFile, 0, false},
      {"99999999999999999999999", false, PlaceError::kBeyondAnyFile, 0, false},
      {"1e20", false, PlaceError::kNotANumber, 0, false},
      {"-5", false, PlaceError::kNotANumber, 0, false},
      {"0x1G", false, PlaceError::kNotANumber, 0, false},
      {"", false, PlaceError::kNotANumber, 0, false},
      {"1.2.3", false, PlaceError::kNotANumber, 0, false},
      {"0x400", true, PlaceError::kNone, 1025, false},
      {"1024", true, PlaceError::kNone, 1025, false},
      {"0", true, PlaceError::kNone, 1, false},
      {"0x1FFFFFFFFFFFFF", true, PlaceError::kNone, kMaxPosition, false},
      {"0x20000000000000", true, PlaceError::kBeyondAnyFile, 0, false},
      {"18446744073709551614", true, PlaceError::kBeyondAnyFile, 0, false},
      {"1.5", true, PlaceError::kNotANumber, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ParsedPlace parsed = c.offset ? ParseOffset(c.text) : ParsePosition(c.text);
    EXPECT_EQ(parsed.error, c.error);
    if (c.error == PlaceError::kNone) {
      EXPECT_EQ(parsed.position, c.position);
      EXPECT_EQ(parsed.rounded, c.rounded);
    }
  }
  // A fraction read from its own characters alone, not what follows them in memory.
  EXPECT_EQ(ParsePosition(std::string_view("2.51").substr(0, 3)).position, 2u);
  EXPECT_EQ(ParseCount("256", 256), 256u);
  EXPECT_FALSE(ParseCount("257", 256));
  EXPECT_FALSE(ParseCount("0", 256));
  EXPECT_FALSE(ParseCount("2x", 256));
  EXPECT_FALSE(ParseCount("", 256));
}

TEST(Suggest, SlipsOfTheKeyboard) {
  const std::vector<std::string_view> commands = {"decode", "explain", "scan",
                                                  "host",   "report",  "help"};
  const std::vector<std::string_view> options = {"name", "json", "quiet", "offsets", "jobs"};
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"scna", "scan"},     {"hlep", "help"}, {"DECODE", "decode"}, {"decod", "decode"},
      {"reprot", "report"}, {"xyz", ""},      {"nmae", "name"},     {"jsno", "json"},
      {"quite", "quiet"},   {"JSON", "json"}, {"off", "offsets"},   {"zzzzzz", ""},
      {"ob", ""},  // two edits from "jobs": too many for a word of two letters
  };
  for (const auto& [word, expected] : cases) {
    EXPECT_EQ(Closest(word, commands).empty() ? Closest(word, options) : Closest(word, commands),
              expected)
        << word;
  }
  EXPECT_EQ(Distance("ab", "ba"), 1u);
  EXPECT_EQ(Distance("Abc", "aBC"), 0u);
  EXPECT_EQ(SuggestControl("mscom"), "MSComm");
  EXPECT_EQ(SuggestControl("calender"), "Calendar");
  EXPECT_EQ(SuggestControl("SERLINK.SerialLink.tvx"), "SERLINK.SerialLink");
  EXPECT_EQ(SuggestControl("spreadsheet"), "");
}

struct Input {
  std::string name;
  const DeliverableInfo* control;
  std::string bytes;
  Position start;
};

// Every case stream at the position its request names, and every sample.
std::vector<Input> CasesAndSamples() {
  std::vector<Input> inputs;
  for (const std::string& deliverable : testing::CaseDeliverables()) {
    for (const testing::Case& c : testing::LoadCases(deliverable)) {
      const std::size_t hash = c.request.find('#');
      const Position start =
          hash == std::string::npos
              ? 1
              : ParsePosition(c.request.substr(hash + 1, c.request.find('@') - hash - 1)).position;
      if (start > 0) {
        inputs.push_back({deliverable + "/" + c.name, FindControl(deliverable), c.stream, start});
      }
    }
  }
  std::ifstream list(std::string(TVX_SAMPLES_DIR) + "/samples.txt");
  for (std::string line; std::getline(list, line);) {
    std::istringstream words(line);
    std::string deliverable, file;
    Position start = 0;
    if (line.empty() || line[0] == '#' || !(words >> deliverable >> file >> start)) continue;
    inputs.push_back({file, FindControl(deliverable),
                      hexstream::ReadFile(std::string(TVX_SAMPLES_DIR) + "/" + file), start});
  }
  return inputs;
}

// Every case stream and every sample decoded with texts and pictures left in the file, down to
// a threshold of none at all, gives the plug-in's own bytes.
TEST(Record, LongTextsLeftInTheFileExpandToThePluginsBytes) {
  std::vector<Input> inputs;
  for (const Input& in : CasesAndSamples()) {
    // The position the request names, the whole file from 1 and a few more besides.
    for (const Position start : {in.start, Position{1}, Position{2}, Position{3}, Position{40}})
      inputs.push_back({in.name, in.control, in.bytes, start});
  }
  // Random bytes, with long texts: every control at a few places of each.
  std::mt19937 random(11);
  for (int i = 0; i < 40; ++i) {
    std::string bytes(2000 + random() % 60000, '\0');
    for (char& b : bytes)
      b = static_cast<char>(random() % 5 == 0 ? 0 : random());
    for (const DeliverableInfo* control : Controls())
      inputs.push_back({"random " + std::to_string(i), control, bytes, 1 + random() % 300});
  }
  // A listing past the memory it is held in, its long texts' stand-ins across every place the
  // spooled file is read in pieces: 40,000 Tags of one character.
  std::string tags;
  for (int i = 0; i < 40000; ++i)
    tags += std::string(
        "\x0B\x01\x00"
        "a\x00",
        5);
  inputs.push_back({"40,000 tags", FindControl("agent"), tags, 1});
  ASSERT_GT(inputs.size(), 40u);
  for (const Input& in : inputs) {
    SCOPED_TRACE(in.name + " at " + std::to_string(in.start));
    ASSERT_NE(in.control, nullptr);
    const std::unique_ptr<Decoder> decoder = NewDecoder(*in.control);
    BytesInput input(in.bytes);
    for (const bool offsets : {false, true}) {
      const DecodeOutput plain = RunOn(*decoder, input, in.start, offsets, {});
      for (const std::size_t threshold :
           {std::size_t{0}, std::size_t{1}, std::size_t{6}, LongTexts::kDefaultThreshold}) {
        const DecodedRecord record = Decode(*decoder, input, in.start, offsets, true, threshold);
        std::string listing;
        record.WriteListing([&](std::string_view bytes) { listing.append(bytes); });
        EXPECT_EQ(listing, plain.listing) << threshold;
        EXPECT_EQ(record.Text(record.block).Bytes(), plain.block) << threshold;
        ASSERT_EQ(record.picture.has_value(), plain.picture.has_value()) << threshold;
        if (plain.picture) {
          EXPECT_EQ(record.Text(record.picture->held).Bytes(), *plain.picture) << threshold;
          EXPECT_EQ(record.picture->size, plain.picture->size());
        }
        EXPECT_EQ(record.stop.ended, plain.ended);
        EXPECT_EQ(record.stop.byte, plain.stop.code);
      }
    }
  }
}

// Each property line of every case stream's and sample's block comes from exactly one typed
// property, whose value has its type's shape and ends the line; an enumerated value names its
// constant where the control defines one; group members sit in their group.
TEST(Record, EachPropertyLineIsOneTypedProperty) {
  std::size_t lines = 0, meanings = 0;
  for (const Input& in : CasesAndSamples()) {
    SCOPED_TRACE(in.name);
    const std::unique_ptr<Decoder> decoder = NewDecoder(*in.control);
    BytesInput input(in.bytes);
    const DecodedRecord record = Decode(*decoder, input, in.start, false);
    std::set<std::size_t> seen;
    for (std::size_t l = 0; l < record.blockLines.size(); ++l) {
      const BlockLineInfo& info = record.blockLines[l];
      if (info.kind != BlockLineKind::kProperty) continue;
      ++lines;
      ASSERT_TRUE(info.property);
      EXPECT_TRUE(seen.insert(*info.property).second) << "one line a property";
      const Property& p = record.properties[*info.property];
      const std::string_view line = record.BlockLine(l);
      EXPECT_EQ(p.line, l);
      EXPECT_TRUE(line.ends_with(p.text)) << line;
      EXPECT_EQ(line.substr(line.find_first_not_of(' '), p.name().size()), p.name());
      const PropertyType type = p.def->type;
      if (p.text.empty()) {
        EXPECT_TRUE(std::holds_alternative<std::monostate>(p.value) ||
                    std::holds_alternative<std::string>(p.value));
      } else if (type == PropertyType::kBoolean) {
        EXPECT_TRUE(std::holds_alternative<bool>(p.value)) << line;
      } else if (type == PropertyType::kFloat) {
        EXPECT_TRUE(std::holds_alternative<double>(p.value)) << line;
      } else if (type == PropertyType::kText || type == PropertyType::kPicture) {
        EXPECT_TRUE(std::holds_alternative<std::string>(p.value)) << line;
      } else {
        ASSERT_TRUE(std::holds_alternative<std::int64_t>(p.value)) << line;
        if (type == PropertyType::kEnumerated) {
          const std::int64_t v = std::get<std::int64_t>(p.value);
          const bool named = std::any_of(p.def->constants.begin(), p.def->constants.end(),
                                         [&](const Constant& c) { return c.value == v; });
          EXPECT_EQ(Meaning(p).has_value(), named) << line;
          meanings += named ? 1 : 0;
        }
      }
      if (p.group) {
        EXPECT_EQ(record.properties[*p.group].def->type, PropertyType::kGroup);
        EXPECT_EQ(line.substr(0, 2), "  ") << "a member is indented";
      }
    }
  }
  EXPECT_GT(lines, 500u);
  EXPECT_GT(meanings, 50u);
}

// Where each definition says the control block keeps a property ("control block offset N"), the
// property of every sample came from there.
TEST(Record, DefinitionsSayWhereTheControlBlockKeepsEachProperty) {
  std::size_t checked = 0;
  for (const Input& in : CasesAndSamples()) {
    if (in.name.find(".exe") == std::string::npos) continue;  // the samples
    SCOPED_TRACE(in.name);
    const std::unique_ptr<Decoder> decoder = NewDecoder(*in.control);
    BytesInput input(in.bytes);
    struct Block final : ExplainSink {
      bool Part(FramePart part, Position at) override {
        if (part == FramePart::kControlBlock) start = at;
        return true;
      }
      Position start = 0;
    } block;
    const Explanation x = Explain(*decoder, input, in.start, false, 0, block);
    ASSERT_TRUE(x.record);
    for (const Property& p : x.record->properties) {
      const std::string_view stored = p.def->stored;
      constexpr std::string_view kSays = "control block offset ";
      if (!stored.starts_with(kSays) || p.bytes.empty()) continue;
      const std::uint64_t offset = std::stoull(std::string(stored.substr(kSays.size())));
      EXPECT_EQ(p.bytes.front().position - block.start, offset) << p.name();
      ++checked;
    }
  }
  EXPECT_GT(checked, 60u);
}

// The bytes each property declares are those the experiment finds its line made from. (It finds
// more: the values a line's presence depends on, such as the DataFormat's Type and SubFormatType
// for every member's line.)
TEST(Links, DeclaredBytesAreThoseTheExperimentFinds) {
  std::size_t compared = 0, lines = 0, pathChoosing = 0;
  for (const Input& in : CasesAndSamples()) {
    SCOPED_TRACE(in.name);
    const std::unique_ptr<Decoder> decoder = NewDecoder(*in.control);
    BytesInput input(in.bytes);
    const CrossChecked checked = CrossCheckLinks(*decoder, input, in.start);
    compared += checked.compared ? 1 : 0;
    lines += checked.lines;
    for (const auto* list : {&checked.mismatches, &checked.conflicts, &checked.untraced})
      EXPECT_EQ(*list, std::vector<std::string>{});
    pathChoosing += checked.pathChoosing.size();
  }
  // The DataFormat's Type 4 and 5, which choose how its sub-record is read.
  EXPECT_EQ(pathChoosing, 3u);
  EXPECT_GT(compared, 80u);
  EXPECT_GT(lines, 500u);
}

// A file that claims a picture as long as itself: 256 MiB of zeros made on the fly. The decode
// reads a few KiB unless the picture is asked for, and then hands it on in pieces.
TEST(StreamDecode, CostIsBoundedWhateverTheStreamClaims) {
  constexpr std::uint64_t kSize = std::uint64_t{256} << 20;
  class Claimed final : public InputSource {
   public:
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) override {
      if (offset >= kSize) return 0;
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, kSize - offset));
      std::memset(into, 0, n);
      // DragIcon (code 10), the picture's length, as long as the file.
      const std::uint8_t head[] = {0x0A, 0xF0, 0xFF, 0xFF, 0x0F};
      for (std::size_t i = 0; i < n; ++i) {
        if (offset + i < sizeof head) into[i] = head[offset + i];
      }
      read += n;
      largest = std::max(largest, size);
      return n;
    }
    std::uint64_t Size() override { return kSize; }
    std::uint64_t read = 0;
    std::size_t largest = 0;
  } input;
  const std::unique_ptr<Decoder> decoder = NewDecoder(*FindControl("EMBEDHOST.Embedder"));
  const DecodedRecord record = Decode(*decoder, input, 1, false);
  ASSERT_TRUE(record.picture);
  EXPECT_EQ(record.picture->size, 0x0FFFFFF0u - 8);
  EXPECT_EQ(record.picture->position, 14u);
  EXPECT_LT(input.read, std::uint64_t{1} << 20);
  // The block lines are linked to their values, as cheaply: the stream is 256 MiB long.
  input.read = 0;
  const Explanation x = Explain(*decoder, input, 1, false, 0, *std::make_unique<ExplainSink>());
  const std::size_t icon = *x.record->Find("DragIcon")->line;
  EXPECT_EQ(x.links[icon].source, LineSource::kValues);
  EXPECT_EQ(x.links[icon].from, (std::vector<Position>{1, 2, 6, 14}));
  EXPECT_LT(input.read, std::uint64_t{1} << 20);
  DecodeSink none;
  const DecodeResult result = StreamDecode(*decoder, input, 1, false).Run(none);
  ASSERT_TRUE(result.pictureSize);

  struct Pieces final : DecodeSink {
    void Picture(const TextRef& bytes) override {
      bytes.Write([this](std::string_view piece) {
        total += piece.size();
        largest = std::max(largest, piece.size());
      });
    }
    std::uint64_t total = 0;
    std::size_t largest = 0;
  } pieces;
  input.largest = 0;
  StreamDecode(*decoder, input, 1, false).Run(pieces);
  EXPECT_EQ(pieces.total, *result.pictureSize);
  EXPECT_LE(pieces.largest, std::size_t{64} << 10);
  EXPECT_LE(input.largest, std::size_t{64} << 10);
}

// A toy control of three fields: a word A, a byte count and that many text bytes T, and a byte
// F whose value only chooses between two texts; the block adds a fixed line.
struct ToyState {
  Read<double> a;
  Read<std::string> t;
  Read<bool> f;
};

DecodeEnd ToyRead(DecodeContext& ctx, ToyState& s) {
  s.a = ctx.ReadSignedWord();
  s.t = ctx.ReadText(ctx.ReadByte());
  const Read<std::uint8_t> f = ctx.ReadByte();
  s.f = {f > 0x7F, f.from};
  ctx.SetStop({ctx.Position(), 255});
  ctx.ReadByte();
  return DecodeEnd::kEndCode;
}

constexpr PropertyDef kA = {"A"}, kT = {"T", PropertyType::kText},
                      kF = {"F", PropertyType::kBoolean}, kFixed = {"Fixed"};

void ToyWrite(BlockWriter& out, const ToyState& s) {
  out.VersionLine();
  out.Number(kA, s.a);
  out.Quoted(kT, s.t);
  out.Shown(kF, s.f ? "Yes" : "No", s.f.value, s.f.from);
  out.Shown(kFixed, "1", std::int64_t{1}, {});
}

constexpr DeliverableInfo kToy = {"TOY.Toy", "Toy", "Toy", 8, ""};

// Each block line's values, as the properties declare them and as the experiment finds them.
TEST(Links, EachBlockLineToTheValuesItCameFrom) {
  const std::unique_ptr<Decoder> toy = MakeStateDecoder<ToyState>(kToy, ToyRead, ToyWrite);
  // A = -2 (FE FF), T = "ab", F = 0x80, then the end code.
  const std::string bytes(
      "\xFE\xFF\x02"
      "ab\x80\xFF",
      7);
  BytesInput input(bytes);
  // The values: the word at 1, the count at 3, the text at 4, F at 6, the end code at 7.
  struct Values final : ExplainSink {
    bool Value(const ExplainedValue& v) override {
      if (v.index == 0) number = v.Number();
      fed.push_back(v.blockLines);
      return true;
    }
    std::int64_t number = 0;
    std::vector<std::vector<std::size_t>> fed;
  } values;
  const Explanation x = Explain(*toy, input, 1, false, 0, values);
  EXPECT_EQ(values.number, -2);  // the word as the decoder reads it: signed
  EXPECT_EQ(x.e.values, 5u);
  EXPECT_EQ(x.e.next, 8u);
  ASSERT_EQ(x.links.size(), 5u);
  const std::vector<LineSource> sources = {LineSource::kStartValue, LineSource::kValues,
                                           LineSource::kValues, LineSource::kValues,
                                           LineSource::kStartValue};
  const std::vector<std::vector<Position>> from = {{}, {1}, {4}, {6}, {}};
  for (std::size_t l = 0; l < 5; ++l) {
    EXPECT_EQ(x.links[l].source, sources[l]) << l;
    EXPECT_EQ(x.links[l].from, from[l]) << l;  // T from the text, not its count
  }
  EXPECT_EQ(values.fed, (std::vector<std::vector<std::size_t>>{{1}, {}, {2}, {3}, {}}));
  // The typed values, as the block states them.
  ASSERT_EQ(x.record->properties.size(), 4u);
  EXPECT_EQ(x.record->properties[0].value, Value(std::int64_t{-2}));
  EXPECT_EQ(x.record->properties[1].value, Value(std::string("ab")));
  EXPECT_EQ(x.record->properties[1].text, "\"ab\"");
  EXPECT_EQ(x.record->properties[2].value, Value(true));

  // The experiment finds the same.
  const BlockLinks links = LinkBlock(*toy, input, 1, false);
  ASSERT_TRUE(links.linked);
  EXPECT_EQ(links.positions, (std::vector<Position>{1, 3, 4, 6, 7}));
  for (std::size_t l = 0; l < 5; ++l) {
    EXPECT_EQ(links.sources[l], sources[l]) << l;
    std::vector<Position> found;
    for (const std::size_t v : links.values[l])
      found.push_back(links.positions[v]);
    EXPECT_EQ(found, from[l]) << l;
  }
  EXPECT_TRUE(CrossCheckLinks(*toy, input, 1).mismatches.empty());
}

// The finder's window and holes: records that straddle two pieces of the input, one whose class
// name's 00 is the first byte of a hole, one right after a hole, one at the end; each input fed
// whole, in pieces of a few bytes, and with its runs of zeros as holes. The pair search itself,
// at every alignment, equals the byte-at-a-time search.
std::string Record(const std::string& name, const std::string& className) {
  std::string r;
  r.push_back(static_cast<char>(name.size()));
  r.push_back(0);
  r += name;
  r += std::string("\0\xFF", 2);
  r.push_back(static_cast<char>(className.size()));
  r.push_back(0);
  r += className;
  r.push_back(0);
  return r;
}

TEST(RecordFinder, WindowPiecesAndHoles) {
  constexpr std::size_t kPiece = RecordFinder::kPiece;
  struct Layout {
    std::string bytes;
    std::vector<Position> positions;
  };
  const auto at = [](std::string& bytes, std::size_t offset, const std::string& record) {
    if (bytes.size() < offset) bytes.resize(offset, '\0');
    bytes.replace(offset, std::min(record.size(), bytes.size() - offset), record);
    return offset + record.size() + 1;
  };
  std::vector<Layout> layouts;
  {
    Layout l;
    const std::string r = Record("Agent1", "AgentObjectsCtl.Agent");
    l.positions.push_back(at(l.bytes, kPiece - 10, r));        // straddles the first piece
    l.positions.push_back(at(l.bytes, 2 * kPiece + 3000, r));  // after a long run of zeros
    l.bytes.resize(5 * kPiece, '\0');
    l.positions.push_back(at(l.bytes, l.bytes.size(), r));  // at the very end
    layouts.push_back(l);
  }
  for (const Layout& l : layouts) {
    std::vector<Position> found;
    const auto add = [&](const ControlRecord& r) { found.push_back(r.position); };
    // Whole, then in pieces of 7 bytes, then with runs of zeros taken as holes.
    BytesInput input(l.bytes);
    ScanRecords(input, add);
    EXPECT_EQ(found, l.positions);
    found.clear();
    {
      RecordFinder finder(add);
      for (std::size_t i = 0; i < l.bytes.size(); i += 7) {
        const std::size_t n = std::min<std::size_t>(7, l.bytes.size() - i);
        std::memcpy(finder.Space().data(), l.bytes.data() + i, n);
        finder.Commit(n);
      }
      finder.Finish();
    }
    EXPECT_EQ(found, l.positions);
    found.clear();
    {
      RecordFinder finder(add);
      for (std::size_t i = 0; i < l.bytes.size();) {
        std::size_t j = i;
        while (j < l.bytes.size() && l.bytes[j] == '\0' && j - i < 3 * kPiece)
          ++j;
        if (j - i > 4096) {
          finder.Zeros(j - i);
          i = j;
          continue;
        }
        const std::size_t n = std::min<std::size_t>(kPiece, l.bytes.size() - i);
        std::memcpy(finder.Space().data(), l.bytes.data() + i, n);
        finder.Commit(n);
        i += n;
      }
      finder.Finish();
    }
    EXPECT_EQ(found, l.positions);
  }
  std::mt19937 random(5);
  std::vector<std::uint8_t> data(300);
  constexpr std::uint8_t kSeconds[] = {0xFF, 0x0D, 0x14};
  for (int round = 0; round < 200; ++round) {
    for (std::uint8_t& b : data) {
      b = static_cast<std::uint8_t>(random() % 4 == 0   ? 0
                                    : random() % 3 == 0 ? kSeconds[random() % 3]
                                                        : random());
    }
    for (std::size_t from = 0; from < 70; ++from) {
      const std::size_t last = data.size() - 1 - random() % 40;
      for (const PairSeconds& seconds : {kRecordPairs, kFormPairs}) {
        const std::size_t want = FindPairBytewise(data.data(), from, last, seconds);
        EXPECT_EQ(FindPair(data.data(), from, last, seconds), want) << from << " " << last;
        for (const PairSearch search : PairSearches())
          EXPECT_EQ(search(data.data(), from, last, seconds), want) << from << " " << last;
      }
    }
  }
}

// ---- Forms and indexes.

std::string Word(std::size_t n) {
  return {static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF)};
}

// A form's image: its header (size long, a long, 00, word n, the name, 00, the kind byte) and
// `body`; the size long says `lie` bytes more than the image holds after it.
std::string Image(const std::string& name, std::uint8_t kind, const std::string& body,
                  std::int64_t lie = 0) {
  const std::string rest = std::string(4, '\x11') + '\0' + Word(name.size()) + name + '\0' +
                           static_cast<char>(kind) + body;
  const auto size = static_cast<std::uint32_t>(static_cast<std::int64_t>(rest.size()) + lie);
  std::string image;
  for (int i = 0; i < 4; ++i)
    image += static_cast<char>((size >> (8 * i)) & 0xFF);
  return image + rest;
}

// An agent control's record, with an Index when `index` is not negative.
std::string Agent(const std::string& name, int index = -1) {
  std::string stream = index < 0 ? "" : "\x01" + Word(static_cast<std::size_t>(index));
  stream += std::string("\x2D", 1) + std::string(12, '\0') + "\x4F\x03\0\0\x4F\x03\0\0\xFF";
  return Record(name, "AgentObjectsCtl.Agent") + stream;
}

// What a scan hands on: "Name(Index) in Form" for a record, "form Name" for an image (with why
// it gives no form).
struct Placed final : ScanSink {
  void Record(const FoundRecord& r) override {
    seen.push_back(r.name + (r.index ? "(" + std::to_string(*r.index) + ")" : "") + " in " +
                   (r.form ? r.form->name : "-"));
  }
  void Form(const FoundForm& f) override {
    seen.push_back(
        "form " + f.image.name +
        (f.trouble == FormTrouble::kNone ? "" : ": " + std::string(FormTroubleWords(f.trouble))));
  }
  std::vector<std::string> seen;
};

std::vector<std::string> Placements(const std::string& bytes, std::vector<std::string> forms = {}) {
  ScanOptions options;
  options.forms = std::move(forms);
  Placed placed;
  ScanInput("p", std::make_shared<BytesInput>(bytes), options, placed);
  return placed.seen;
}

// Synthetic programs: several forms, an MDI form, a control array, records outside any image (the
// last named with the last letters, Z and z), a name outside ASCII, an image across many pieces of
// the scan; and images that lie: past the end, overlapping (in part, wholly), of size zero, and one
// that holds more records than the scan holds back.
TEST(Forms, EachRecordInTheImageThatHoldsIt) {
  const std::string odd = "frm\xE9t\x82_2";
  const std::string pad(40, 'x');
  struct Case {
    std::string what;
    std::string bytes;
    std::vector<std::string> seen;
  };
  const Case cases[] = {
      {"forms",
       pad + Agent("Before") + Image("Form1", 0x0D, Agent("Arr", 0) + pad + Agent("Arr", 1)) +
           Agent("Between") + Image("MDIForm1", 0x14, Agent("Dlg1")) +
           Image(odd, 0x0D, Agent("Odd1", 7)) + Agent("Zz_9"),
       {"Before in -", "form Form1", "Arr(0) in Form1", "Arr(1) in Form1", "Between in -",
        "form MDIForm1", "Dlg1 in MDIForm1", "form " + odd, "Odd1(7) in " + odd, "Zz_9 in -"}},
      {"an image across pieces",
       Image("Big", 0x0D, Agent("First") + std::string(600000, '\0') + Agent("Last")) +
           Agent("Out"),
       {"form Big", "First in Big", "Last in Big", "Out in -"}},
      {"past the end",
       Image("Form1", 0x0D, Agent("A")) + Image("Form2", 0x0D, Agent("B"), 1),
       {"form Form1", "A in Form1", "form Form2: its size runs past the end of the file",
        "B in -"}},
      {"overlapping in part, by the first bytes of the next header",
       Image("Form1", 0x0D, Agent("A"), 3) + Image("Form2", 0x0D, Agent("B")) + pad,
       {"form Form1: it overlaps another image", "A in -", "form Form2: it overlaps another image",
        "B in -"}},
      {"one wholly inside another",
       Image("Outer", 0x0D, Agent("A") + Image("Inner", 0x0D, Agent("B")) + Agent("C")),
       {"form Outer: it overlaps another image", "A in -", "form Inner: it overlaps another image",
        "B in -", "C in -"}},
      {"of size zero, no image",
       Image("Form1", 0x0D, Agent("A") + Image("Zero", 0x0D, "", -9 - 4) + Agent("B")),
       {"form Form1", "A in Form1", "B in Form1"}},
      {"a kind byte of no form", Image("Thing", 0x1F, Agent("A")), {"A in -"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Placements(c.bytes), c.seen) << c.what;
  // --form: the records in the forms of the names given, and those forms' lines.
  EXPECT_EQ(Placements(cases[0].bytes, {"mdiform1", odd}),
            (std::vector<std::string>{"form MDIForm1", "Dlg1 in MDIForm1", "form " + odd,
                                      "Odd1(7) in " + odd}));
  // More records than the scan holds back wait on one image: it gives none a form.
  std::string many;
  for (std::size_t i = 0; i < FormPlacer<int>::kMaxHeld + 10; ++i)
    many += Agent("A");
  const std::vector<std::string> seen = Placements(Image("Full", 0x0D, many));
  ASSERT_EQ(seen.size(), FormPlacer<int>::kMaxHeld + 11);
  EXPECT_EQ(seen.front(), "form Full: more records waited on it than a scan holds");
  EXPECT_EQ(seen.back(), "A in -");
}

// The Index a scan reads is the one the decode's block states, for every control: at the start
// of section A, given twice, after other codes, cut, absent; read to the end of a short input and
// stopped at the section's end.
TEST(Forms, TheIndexIsTheDecodersIndex) {
  const char* const streams[] = {"01 w:7 2D z:40 FF",
                                 "01 w:7 01 w:9 2D z:40 FF",
                                 "07 00 01 w:300 2D z:40 FF",
                                 "0B w:1 u\"a\" 01 w:2 2D FF",
                                 "00 00 01 w:65535 2D FF",
                                 "2D 01 w:3 FF",
                                 "01 05",
                                 "03 w:1 w:2 w:3 w:4 01 w:4 2D FF"};
  Decoders decoders;
  std::size_t held = 0;  // decodes whose block states an Index
  for (const DeliverableInfo* control : Controls()) {
    for (const char* hex : streams) {
      const std::string bytes = hexstream::Parse(hex);
      BytesInput input(bytes);
      const DecodedRecord decoded = Decode(decoders.For(*control), input, 1, false);
      const Property* index = decoded.Find("Index");
      std::optional<std::int64_t> want;
      if (index != nullptr && !index->bytes.empty()) want = std::get<std::int64_t>(index->value);
      held += want ? 1 : 0;
      for (const bool stop : {true, false}) {
        const IndexRead read = ReadIndex(decoders.For(*control), input, 1, stop);
        EXPECT_EQ(read.index, want) << control->name << " " << hex << " " << stop;
      }
    }
  }
  EXPECT_GE(held, 6 * 5u);
}

// A picture's format from its first bytes, as each format's header lays them down.
TEST(PictureFormat, FromTheFirstBytes) {
  using namespace std::string_literals;
  const std::pair<std::string, std::string_view> cases[] = {
      {"GIF89a\x01\x00"s, "gif"},
      {"GIF87a"s, "gif"},
      {"\xFF\xD8\xFF\xE0"s, "jpg"},
      {"\xD7\xCD\xC6\x9A\0\0"s, "wmf"},
      {"BM"s + std::string(12, '\0'), "bmp"},
      {"BM"s, "bin"},  // too short for a bitmap's header
      {"\0\0\x01\0\x01\0"s, "ico"},
      {"\0\0\x02\0\x01\0"s, "cur"},
      {"\0\0\x01\0\0\0"s, "bin"},  // no image
      {"\x01\0\x09\0\0\x03"s + std::string(12, '\0'), "wmf"},
      {"\x02\0\x09\0\0\x01"s + std::string(12, '\0'), "wmf"},  // on disk, version 1
      {"\x01\0\0\0"s + std::string(36, '\0') + " EMF"s, "emf"},
      {"\x01\0\0\0"s + std::string(36, '\0') + " EM"s, "bin"},
      {""s, "bin"},
  };
  for (const auto& [bytes, extension] : cases)
    EXPECT_EQ(PictureExtension(bytes), extension) << extension;
}

// A picture's digest is its bytes' SHA-256 (the digests from Python's hashlib), whether the bytes
// come whole or in pieces: no bytes, "abc", lengths about the 64-byte block that its padding
// fills or overflows, and 1000 bytes of (7 i) mod 251.
TEST(PictureFormat, DigestIsTheBytesSha256) {
  std::string counted;
  for (int i = 0; i < 1000; ++i)
    counted += static_cast<char>(i * 7 % 251);
  const std::pair<std::string, std::string_view> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {counted, "59425e4412e296fc74736673ce067027f384203f59c0d2c3e6be7b13347b3ffc"},
  };
  for (const auto& [bytes, digest] : cases) {
    for (const std::size_t piece : {bytes.size() + 1, std::size_t{1}, std::size_t{7}}) {
      Sha256 sha;
      for (std::size_t at = 0; at < bytes.size(); at += piece)
        sha.Add(std::string_view(bytes).substr(at, piece));
      EXPECT_EQ(sha.Hex(), digest) << bytes.size() << " bytes in pieces of " << piece;
    }
  }
}

// A folder walked in the byte order of its names, each subfolder where it comes; a link to a
// folder above is a loop, followed or not; a named file is "named", a found one is not.
TEST(Collection, WalksInOrderAndReportsWhatCannotBeRead) {
  const fs::path root = fs::temp_directory_path() / ("tvx-walk-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "b" / "inner");
  for (const char* name : {"a.exe", "b/z.exe", "b/inner/x.exe", "c.exe", "B.exe"})
    std::ofstream(root / name) << "x";
  fs::create_directory_symlink(root, root / "b" / "up");
  const auto walk = [&](const std::vector<std::string>& paths, bool follow) {
    std::vector<std::string> seen;
    Collection collection(paths, follow);
    const auto problem = [&](const std::string& path, const IoError& why) {
      seen.push_back("! " + fs::path(path).lexically_relative(root).string() + " " + why.reason);
    };
    while (const std::optional<Collection::File> file = collection.Next(problem)) {
      seen.push_back((file->named ? "= " : "  ") +
                     fs::path(file->path).lexically_relative(root).string());
    }
    return seen;
  };
  EXPECT_EQ(
      walk({root.string()}, false),
      (std::vector<std::string>{"  B.exe", "  a.exe", "  b/inner/x.exe", "  b/z.exe", "  c.exe"}));
  EXPECT_EQ(walk({root.string()}, true),
            (std::vector<std::string>{"  B.exe", "  a.exe", "  b/inner/x.exe",
                                      "! b/up a symbolic link loop", "  b/z.exe", "  c.exe"}));
  EXPECT_EQ(walk({(root / "c.exe").string(), (root / "missing").string()}, false),
            (std::vector<std::string>{"= c.exe", "! missing No such file or directory"}));
  EXPECT_TRUE(Collection::Several({root.string()}));
  EXPECT_FALSE(Collection::Several({(root / "c.exe").string()}));
  fs::remove_all(root);
}

// The scan hands records on in the order of the files whatever number are read at a time.
TEST(Scan, OrderIsTheFilesOrderWhateverTheJobs) {
  const fs::path root = fs::temp_directory_path() / ("tvx-scan-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root);
  std::mt19937 random(3);
  for (int f = 0; f < 24; ++f) {
    std::string bytes(1000 + random() % 300000, '\0');
    for (char& b : bytes)
      b = static_cast<char>(random());
    for (int r = 0; r < f % 4; ++r) {
      const std::string record = Record("Ctl" + std::to_string(f) + "_" + std::to_string(r),
                                        r % 2 == 0 ? "MSCommLib.MSComm" : "Some.Other");
      bytes.replace(static_cast<std::size_t>(r) * (bytes.size() / 4) + 5, record.size(), record);
    }
    char name[16];
    std::snprintf(name, sizeof name, "f%02d.bin", f);
    std::ofstream(root / name, std::ios::binary) << bytes;
  }
  struct Events final : ScanSink {
    void NotAProgram(const std::string& file, bool named) override {
      seen.push_back("raw " + fs::path(file).filename().string() + (named ? " named" : ""));
    }
    void Record(const FoundRecord& r) override {
      seen.push_back(fs::path(r.file).filename().string() + " " + std::to_string(r.position) + " " +
                     r.name + " " + std::string(r.control != nullptr ? r.control->name : "-"));
    }
    void FileDone(const std::string& file, std::uint64_t bytes) override {
      seen.push_back("done " + fs::path(file).filename().string() + " " + std::to_string(bytes));
    }
    std::vector<std::string> seen;
  };
  std::optional<std::vector<std::string>> first;
  for (const unsigned jobs : {1u, 2u, 5u}) {
    for (const bool all : {false, true}) {
      ScanOptions options;
      options.jobs = jobs;
      options.all = all;
      Events events;
      const ScanTotals totals = Scan({root.string()}, options, events);
      EXPECT_EQ(totals.files, 24u);
      EXPECT_EQ(totals.notPrograms, 24u);
      EXPECT_EQ(totals.records, all ? 36u : 24u);
      EXPECT_EQ(totals.others, 12u);
      if (all) continue;
      if (first) {
        EXPECT_EQ(events.seen, *first) << jobs;
      } else {
        first = events.seen;
      }
    }
  }
  fs::remove_all(root);
}

// A sink that takes its records slowly holds the reading back, whatever the jobs: what is found
// waits in a bounded queue, not in memory that grows with the file.
TEST(Scan, ASlowSinkHoldsTheReadingBack) {
  const fs::path file =
      fs::temp_directory_path() / ("tvx-dense-" + std::to_string(::getpid()) + ".bin");
  std::string bytes;
  for (int i = 0; i < 400000; ++i)
    bytes += Record("C", "VB.Label");
  std::ofstream(file, std::ios::binary) << bytes;
  const auto resident = [] {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));  // KiB
    }
    return 0L;
  };
  for (const unsigned jobs : {1u, 2u}) {
    SCOPED_TRACE(jobs);
    struct Slow final : ScanSink {
      void Record(const FoundRecord&) override {
        if (++records > 1) return;
        std::this_thread::sleep_for(std::chrono::seconds(1));  // the reading goes on meanwhile
        grown = resident() - before;
      }
      std::function<long()> resident;
      long before = 0;
      long grown = 0;
      std::uint64_t records = 0;
    } sink;
    sink.resident = resident;
    sink.before = resident();
    ScanOptions options;
    options.jobs = jobs;
    options.all = true;
    Scan({file.string()}, options, sink);
    EXPECT_EQ(sink.records, 400000u);
    EXPECT_LT(sink.grown, 4096) << "KiB";
  }
  fs::remove(file);
}

// A file that changes while it is read (cut short, or grown) is reported, not taken for read.
TEST(Scan, AFileThatChangesWhileReadIsReported) {
  const fs::path file =
      fs::temp_directory_path() / ("tvx-changing-" + std::to_string(::getpid()) + ".bin");
  for (const bool shrink : {true, false}) {
    SCOPED_TRACE(shrink ? "cut short" : "grown");
    std::ofstream(file, std::ios::binary) << std::string(std::size_t{1} << 20, 'x');
    struct Changing final : ScanSink {
      void Record(const FoundRecord&) override {}
      void Progress(std::uint64_t, std::uint64_t, std::uint64_t) override {
        if (done) return;
        done = true;  // after the first piece
        if (shrink) {
          fs::resize_file(path, 1000);
        } else {
          std::ofstream(path, std::ios::binary | std::ios::app) << "more";
        }
      }
      void Unreadable(const std::string&, const IoError& error) override { why = error.reason; }
      fs::path path;
      bool shrink = false;
      bool done = false;
      std::string why;
    } sink;
    sink.path = file;
    sink.shrink = shrink;
    const ScanTotals totals = Scan({file.string()}, ScanOptions{}, sink);
    EXPECT_EQ(totals.files, 0u);
    EXPECT_EQ(totals.unreadable, 1u);
    EXPECT_EQ(sink.why, "changed while it was read");
  }
  fs::remove(file);
}

}  // namespace
}  // namespace tvx::core
