// What the report shows of one decode: the values read, the listing and block lines linked to
// them, the stream's bytes.
#include "explanation.h"
#include "links.h"
#include "report.h"
#include "text.h"
#include "words.h"

namespace tvx::render {

namespace {

// The values and listing lines of a decode, as far as the page shows them, and the values each
// block line came from.
class Collect final : public core::ExplainSink {
 public:
  explicit Collect(ReportDecode& d) : d_(d) {}
  bool Value(const core::ExplainedValue& v) override {
    if (v.End() - v.decode->start() > kMaxReportedBytes) {
      d_.tooLong = true;
      return false;
    }
    for (const std::size_t line : v.blockLines) {
      if (line >= feeds.size()) feeds.resize(line + 1);
      feeds[line].push_back(d_.values.size());
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
  std::vector<std::vector<std::size_t>> feeds;  // per block line, the values it came from

 private:
  ReportDecode& d_;
};

// The typed properties, a row each: a group's members by Group.Member, the group itself left out.
std::vector<ReportProperty> PropertyRows(const core::DecodedRecord& record) {
  std::vector<ReportProperty> rows;
  for (const core::Property& p : record.properties) {
    if (p.def->type == PropertyType::kGroup) continue;
    ReportProperty& row = rows.emplace_back();
    row.path = std::string(p.name());
    if (p.group) row.path = std::string(record.properties[*p.group].name()) + "." + row.path;
    row.value = record.Text(p.text).Head(200);
    row.meaning = PropertyWords(p);
    for (const core::ByteSpan& span : p.bytes) {
      if (!row.bytes.empty()) row.bytes += ", ";
      row.bytes += OffsetText(span.position) + " (" + std::to_string(span.size) + ")";
    }
  }
  return rows;
}

}  // namespace

ReportDecode DecodeForReport(Decoder& decoder, InputSource& input, core::Position position,
                             bool offsets) {
  ReportDecode d;
  Collect collect(d);
  const core::Explanation x = core::Explain(decoder, input, position, offsets, 0, collect);
  const core::Explained& e = x.e;
  d.stop = e.decode.stop;
  d.stopped = e.cut ? "the stream is longer than the page shows: only its first " +
                          std::to_string(kMaxReportedBytes) + " bytes are here"
                    : StoppedWords(e, d.listing.empty() ? "" : d.listing.back().text);
  if (x.record) {
    const core::DecodedRecord& record = *x.record;
    if (record.picture) d.picture = record.Text(record.picture->held).Bytes();
    for (std::size_t l = 0; l < record.blockLines.size(); ++l) {
      ReportLine& line = d.block.emplace_back();
      line.text = record.Text(record.BlockLine(l)).Bytes();
      line.linked = true;
      if (l < collect.feeds.size()) line.from = collect.feeds[l];
      if (const auto& info = record.blockLines[l]; info.property) {
        const core::Property& p = record.properties[*info.property];
        line.about = std::string(p.name()) + ", " + PropertyWords(p);
      }
      const core::LineSource source = x.links[l].source;
      if (source == core::LineSource::kStartValue) line.note = "not from the stream";
      if (source == core::LineSource::kNotTraced) line.note = "not traced to a value read";
    }
  }
  if (x.record) d.properties = PropertyRows(*x.record);
  d.bytes.resize(static_cast<std::size_t>(e.next - e.start));
  d.bytes.resize(
      input.ReadAt(e.start - 1, reinterpret_cast<std::uint8_t*>(d.bytes.data()), d.bytes.size()));
  return d;
}

}  // namespace tvx::render
