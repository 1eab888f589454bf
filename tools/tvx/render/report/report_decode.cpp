// What the report shows of one decode: the values read, the listing and block lines linked to
// them, the stream's bytes.
#include "explanation.h"
#include "provenance.h"
#include "report.h"
#include "text.h"
#include "words.h"

namespace tvx::render {

namespace {

// The values and listing lines of a decode, as far as the page shows them.
class Collect final : public core::ExplainSink {
 public:
  explicit Collect(ReportDecode& d) : d_(d) {}
  bool Value(const core::ExplainedValue& v) override {
    if (v.End() - v.decode->start() > kMaxReportedBytes) {
      d_.tooLong = true;
      return false;
    }
    d_.values.push_back({v.position, v.consumed, ValueWords(v)});
    if (v.kind == ReadKind::kPictureBytes) d_.pictureAt = v.position - v.decode->start();
    return true;
  }
  bool ListingLine(const core::TextRef& line) override {
    ReportLine& shown = d_.listing.emplace_back();
    shown.text = line.Bytes();
    if (d_.values.empty()) {
      shown.note = "written before any read";
    } else {
      shown.from.push_back(d_.values.size() - 1);
    }
    return true;
  }
  void Block(const core::TextRef& block) override { block_ = block.Bytes(); }
  void Picture(const core::TextRef& bytes) override { d_.picture = bytes.Bytes(); }
  std::string block_;

 private:
  ReportDecode& d_;
};

}  // namespace

ReportDecode DecodeForReport(Decoder& decoder, InputSource& input, core::Position position,
                             bool offsets) {
  ReportDecode d;
  Collect collect(d);
  core::StreamDecode decode(decoder, input, position, offsets);
  const core::Explained e = core::Explain(decode, collect);
  d.stop = e.decode.stop;
  d.stopped = e.cut ? "the stream is longer than the page shows: only its first " +
                          std::to_string(kMaxReportedBytes) + " bytes are here"
                    : StoppedWords(e, d.listing.empty() ? "" : d.listing.back().text);
  const core::BlockLinks links =
      e.cut ? core::BlockLinks{} : core::LinkBlock(decoder, input, position, offsets);
  std::size_t l = 0;
  for (const std::string_view text : CrLfLines(collect.block_)) {
    ReportLine& line = d.block.emplace_back();
    line.text = text;
    line.linked = links.linked && l < links.sources.size();
    if (line.linked) {
      line.from = links.values[l];
      if (links.sources[l] == core::LineSource::kStartValue) line.note = "not from the stream";
      if (links.sources[l] == core::LineSource::kNotTraced)
        line.note = "not traced to a value read";
    }
    ++l;
  }
  d.bytes.resize(static_cast<std::size_t>(e.next - e.start));
  d.bytes.resize(
      input.ReadAt(e.start - 1, reinterpret_cast<std::uint8_t*>(d.bytes.data()), d.bytes.size()));
  return d;
}

}  // namespace tvx::render
