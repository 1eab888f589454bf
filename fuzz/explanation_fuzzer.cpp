// Fuzz target for tvx's explanation of a decode: arbitrary bytes as the program file, explained
// from a start position the input chooses by a control it chooses. Every value read accounts for
// the bytes after the one before it, once and in order, up to where the decode stopped; each block
// line is one the decoder wrote, each property's line states its value's text, and the links name
// values and lines that exist; and a decode that leaves long texts in the file writes the same
// bytes as the plug-ins' own decode.
//
// Built twice: as is, and with TVX_FUZZ_LINKS as the links target, which checks the declared links
// against those an experiment finds (cross_check.h), on files of at most 256 bytes (the experiment
// decodes the stream twice a value read, too slowly for larger ones to be fuzzed).
//
// Input layout:
//   byte 0      the control (its number among the deliverables, modulo their count)
//   byte 1      the start position (1 + byte)
//   byte 2      the threshold past which texts are left in the file
//   bytes 3-    the program file
#include <cstdint>
#include <string>
#include <vector>

#include "controls.h"
#include "explanation.h"
#include "fuzz_support.h"
#include "record.h"
#include "tvx/decode_run.h"

#ifdef TVX_FUZZ_LINKS
#include "cross_check.h"
#endif

namespace tvx::fuzz {
namespace {

// Checks each value as it comes: the bytes it consumed follow those of the value before.
class Accounting final : public core::ExplainSink {
 public:
  explicit Accounting(core::Position start) : next(start) {}
  bool Value(const core::ExplainedValue& v) override {
    Check(v.index == values, "values are numbered in order");
    ++values;
    Check(v.consumed <= v.size, "a value consumes at most the bytes it covers");
    fed.insert(fed.end(), v.blockLines.begin(), v.blockLines.end());
    if (v.consumed > 0) {
      Check(v.position == next, "each value's bytes follow those of the value before",
            std::to_string(v.position) + " after " + std::to_string(next));
      next = v.End();
    }
    return true;
  }
  bool ListingLine(const core::TextRef&) override {
    ++lines;
    return true;
  }
  core::Position next;
  std::vector<std::size_t> fed;  // the block lines the values feed
  std::size_t values = 0;
  std::size_t lines = 0;
};

class OneFile final : public FileSystem {
 public:
  explicit OneFile(InputSource& input) : input_(input) {}
  InputSource* OpenInput(const std::string&) override { return &input_; }
  bool WriteOutput(std::string_view, std::string_view) override { return false; }

 private:
  InputSource& input_;
};

}  // namespace
}  // namespace tvx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tvx;
  using namespace tvx::fuzz;
  if (size < 3) return 0;
  const auto& controls = core::Controls();
  const DeliverableInfo& control = *controls[data[0] % controls.size()];
  const core::Position start = 1 + data[1];
  const std::size_t threshold = data[2];
  const std::string_view file(reinterpret_cast<const char*>(data + 3), size - 3);
  BytesInput input(file);
  const std::unique_ptr<Decoder> decoder = core::NewDecoder(control);

#ifdef TVX_FUZZ_LINKS
  constexpr std::size_t kLinked = 256;
  if (file.size() > kLinked) return 0;
  (void)threshold;
  const core::CrossChecked checked = core::CrossCheckLinks(*decoder, input, start);
  // On damaged streams the experiment guesses (bytes passed over, either of two DragIcons): no
  // line may be one it finds made of other properties' bytes only while its own go unfound.
  Check(checked.conflicts.empty(), "the declared links agree with what the experiment finds",
        checked.conflicts.empty() ? "" : checked.conflicts.front());
#else
  Accounting accounting(start);
  const core::Explanation x = core::Explain(*decoder, input, start, false, 0, accounting);
  const core::Explained& e = x.e;
  Check(!e.cut, "nothing cut an explanation without a limit");
  Check(e.values == accounting.values && e.listingLines == accounting.lines,
        "the explanation counts what it handed on");
  Check(e.next == accounting.next, "the bytes accounted for end where the last value's did");
  Check(x.record.has_value(), "an explanation not cut has its record");
  const core::DecodedRecord& record = *x.record;
  Check(x.links.size() == record.blockLines.size(), "a link for every block line");
  for (const std::size_t line : accounting.fed)
    Check(line < record.blockLines.size(), "a value feeds block lines that exist");

  // The block is its lines, each a property's where it states one, ending in its value's text.
  std::string lines;
  for (std::size_t l = 0; l < record.blockLines.size(); ++l) {
    const std::string_view line = record.BlockLine(l);
    lines.append(line).append("\r\n");
    const core::BlockLineInfo& info = record.blockLines[l];
    if (info.kind != BlockLineKind::kProperty) continue;
    const core::Property& p = record.properties[*info.property];
    Check(p.line == l, "a property line's property names its line");
    Check(line.size() >= p.text.size() && line.substr(line.size() - p.text.size()) == p.text,
          "a property line ends with its value's text");
  }
  Check(lines == record.block, "the block is its lines");

  // The same decode with nothing left in the file, as the plug-ins decode.
  OneFile files(input);
  const DecodeOutput plain = RunDecode(*decoder, core::MakeRequest("x", start), files);
  const core::DecodedRecord kept = core::Decode(*decoder, input, start, false, true, threshold);
  std::string listing;
  kept.WriteListing([&](std::string_view bytes) { listing.append(bytes); });
  Check(listing == plain.listing, "long texts expand to the plug-in's listing");
  Check(kept.Text(kept.block).Bytes() == plain.block, "long texts expand to the plug-in's block");
  Check(kept.picture.has_value() == plain.picture.has_value() &&
            (!kept.picture || kept.Text(kept.picture->held).Bytes() == *plain.picture),
        "a long picture expands to the plug-in's picture");
#endif
  return 0;
}
