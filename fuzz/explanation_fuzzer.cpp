// Fuzz target for tvx's explanation of a decode: arbitrary bytes as the program file, explained
// from a start position the input chooses by a control it chooses. Every value read accounts for
// the bytes after the one before it, once and in order, up to where the decode stopped; the block
// lines' links name values and lines that exist; and a decode that leaves long texts in the file
// writes the same bytes as the plug-ins' own decode.
//
// Built twice: as is, and with TVX_FUZZ_LINKS as the links target, which checks only the block
// lines' links, on files of at most 256 bytes (linking decodes the stream twice a value read, too
// slowly for larger ones to be fuzzed).
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
#include "provenance.h"
#include "tvx/decode_run.h"

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
  OneFile files(input);
  const DecodeOutput plain = RunDecode(*decoder, core::MakeRequest("x", start), files);
  const core::BlockLinks links = core::LinkBlock(*decoder, input, start, false);
  if (!links.linked) return 0;
  // The values read, as the explanation numbers them.
  struct Count final : core::ExplainSink {
    bool Value(const core::ExplainedValue&) override { return true; }
    bool ListingLine(const core::TextRef&) override { return true; }
  } count;
  core::StreamDecode decode(*decoder, input, start, false, threshold);
  const core::Explained e = core::Explain(decode, count);
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = plain.block.find("\r\n", at)) != std::string::npos; at += 2)
    ++lines;
  Check(links.sources.size() == lines && links.values.size() == lines,
        "a source for every block line");
  Check(links.positions.size() == e.values && links.lines.size() == e.values,
        "the links know every value read");
  for (std::size_t l = 0; l < lines; ++l) {
    for (const std::size_t v : links.values[l])
      Check(v < e.values, "a block line links to values that were read");
  }
  for (const auto& fed : links.lines) {
    for (const std::size_t l : fed)
      Check(l < lines, "a value feeds block lines that exist");
  }
#else
  Accounting accounting(start);
  core::StreamDecode decode(*decoder, input, start, false, threshold);
  const core::Explained e = core::Explain(decode, accounting);
  Check(!e.cut, "nothing cut an explanation without a limit");
  Check(e.values == accounting.values && e.listingLines == accounting.lines,
        "the explanation counts what it handed on");
  Check(e.next == accounting.next, "the bytes accounted for end where the last value's did");

  // The same decode with nothing left in the file, as the plug-ins decode.
  OneFile files(input);
  const DecodeOutput plain = RunDecode(*decoder, core::MakeRequest("x", start), files);
  struct Whole final : core::DecodeSink {
    bool ListingLine(const core::TextRef& line) override {
      listing += line.Bytes() + "\r\n";
      return true;
    }
    void Block(const core::TextRef& text) override { block = text.Bytes(); }
    void Picture(const core::TextRef& bytes) override { picture = bytes.Bytes(); }
    std::string listing, block;
    std::optional<std::string> picture;
  } whole;
  core::StreamDecode(*decoder, input, start, false, threshold).Run(whole);
  Check(whole.listing == plain.listing, "long texts expand to the plug-in's listing");
  Check(whole.block == plain.block, "long texts expand to the plug-in's block");
  Check(whole.picture == plain.picture, "a long picture expands to the plug-in's picture");
#endif
  return 0;
}
