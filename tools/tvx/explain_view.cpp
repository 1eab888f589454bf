#include "explain_view.h"

#include <algorithm>
#include <cstdio>

#include "positions.h"
#include "text_output.h"
#include "tvx/text.h"

namespace tvx::tool {

namespace {

constexpr std::size_t kBytesPerRow = 8;
constexpr int kPositionWidth = 10;
constexpr int kOffsetWidth = 10;
constexpr int kBytesWidth = static_cast<int>(kBytesPerRow * 3 - 1);

std::string Pad(std::string text, int width, bool right) {
  if (static_cast<int>(text.size()) >= width) return text;
  const std::string blanks(static_cast<std::size_t>(width) - text.size(), ' ');
  return right ? blanks + text : text + blanks;
}

std::string PartHeading(const PartStart& p) {
  const std::string from = " from position " + PlaceText(p.position);
  switch (p.part) {
    case FramePart::kSectionA:
      return "section A" + from + ": extender codes, up to code 45";
    case FramePart::kControlBlock:
      return "control block" + from + ": the control's own record, read by its decoder";
    case FramePart::kSectionB:
      return "section B" + from + ": extender codes, up to code 255";
  }
  return "";
}

// The table, a row at a time, with an optional limit on the rows.
class Table {
 public:
  static constexpr std::string_view kBold = "\x1b[1m";
  static constexpr std::string_view kCode = "\x1b[36m";
  static constexpr std::string_view kListing = "\x1b[32m";
  static constexpr std::string_view kBlock = "\x1b[33m";
  static constexpr std::string_view kAlarm = "\x1b[31m";

  Table(Output& out, bool colour, std::uint64_t limit)
      : out_(out), colour_(colour), limit_(limit) {}

  // A row of a position (0 for none), bytes and words; false once the limit is reached.
  bool Row(double position, const std::string& bytes, const std::string& what,
           std::string_view style = {}) {
    if (limit_ != 0 && rows_ >= limit_) {
      if (!cut_) {
        out_ << Paint("== cut after " + std::to_string(limit_) + " rows (--limit) ==", kBold)
             << "\n";
      }
      cut_ = true;
      return false;
    }
    ++rows_;
    Write(position > 0 ? NumberText(position) : "", position > 0 ? OffsetText(position) : "", bytes,
          Paint(what, style));
    return true;
  }

  // The column titles, not counted as a row.
  void Header() { Write("position", "offset", "bytes", "read as / => listing line"); }

  void Heading(const std::string& text) {
    if (!cut_) out_ << Paint("-- " + text + " --", kBold) << "\n";
  }

  std::string Paint(const std::string& text, std::string_view style) const {
    if (!colour_ || style.empty() || text.empty()) return text;
    return std::string(style) + text + "\x1b[0m";
  }

  bool cut() const { return cut_; }

 private:
  void Write(const std::string& position, const std::string& offset, const std::string& bytes,
             const std::string& what) {
    std::string line = Pad(position, kPositionWidth, true) + " | " +
                       Pad(offset, kOffsetWidth, true) + " | " + Pad(bytes, kBytesWidth, false);
    if (!what.empty()) line += " | " + what;
    while (!line.empty() && line.back() == ' ')
      line.pop_back();
    out_ << line << "\n";
  }

  Output& out_;
  bool colour_;
  std::uint64_t limit_;
  std::uint64_t rows_ = 0;
  bool cut_ = false;
};

// The rows of one read: its bytes, kBytesPerRow to a row, each row with its own position. The
// file is read again here, a block of rows at a time.
void ReadRows(Table& table, const ExplainedRead& r, InputSource& file) {
  const std::string_view style = r.code ? Table::kCode : std::string_view();
  if (r.read.count == 0) {
    table.Row(r.read.position, "(past the end)", r.what, style);
    return;
  }
  constexpr std::size_t kBlockSize = kBytesPerRow * 512;
  std::uint8_t block[kBlockSize];
  const auto first = static_cast<std::uint64_t>(r.read.position - 1);
  for (std::uint64_t from = 0; from < r.read.count; from += kBlockSize) {
    const std::size_t got = file.ReadAt(
        first + from, block,
        static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, r.read.count - from)));
    if (got == 0) {
      table.Row(0, "",
                "!! the file changed while it was shown: it ends before position " +
                    PlaceText(r.read.position + static_cast<double>(from)),
                Table::kAlarm);
      return;
    }
    for (std::size_t row = 0; row < got; row += kBytesPerRow) {
      std::string hex;
      for (std::size_t i = row; i < std::min(got, row + kBytesPerRow); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02X", unsigned{block[i]});
        if (i > row) hex += ' ';
        hex += byte;
      }
      const std::uint64_t done = from + row;
      if (!table.Row(r.read.position + static_cast<double>(done), hex, done == 0 ? r.what : "",
                     style)) {
        return;
      }
    }
  }
}

std::string SourcesText(const Explanation& e, std::size_t line) {
  switch (e.lineSources[line]) {
    case LineSource::kNotLinked:
      return "";
    case LineSource::kStartValue:
      return "(not from the stream)";
    case LineSource::kNotTraced:
      return "(not traced to a value read)";
    case LineSource::kReads:
      break;
  }
  std::string text = "<-";
  for (const std::size_t i : e.sources[line])
    text += " " + NumberText(e.reads[i].read.position);
  return text;
}

void WriteTable(const Explanation& e, InputSource& file, const ExplainOptions& options,
                Output& out) {
  Table table(out, options.colour, options.limit);
  table.Header();
  for (const std::size_t l : e.listingBeforeReads)
    table.Row(0, "", "=> " + Printable(e.listing[l]), Table::kListing);
  double next = e.start;
  std::size_t part = 0;
  for (std::size_t i = 0; i < e.reads.size() && !table.cut(); ++i) {
    for (; part < e.parts.size() && e.parts[part].beforeRead <= i; ++part)
      table.Heading(PartHeading(e.parts[part]));
    const ExplainedRead& r = e.reads[i];
    if (r.read.count > 0 && r.read.position != next) {
      // Cannot happen with the framework's reader, which only moves forward; shown so that a
      // broken view never passes for a complete one.
      table.Row(0, "",
                r.read.position > next ? "!! bytes " + PlaceText(next) + " to " +
                                             PlaceText(r.read.position - 1) + " were not read"
                                       : "!! bytes read twice from " + PlaceText(r.read.position),
                Table::kAlarm);
    }
    if (r.read.count > 0) next = r.End();
    ReadRows(table, r, file);
    for (const std::size_t l : r.listing)
      table.Row(0, "", "=> " + Printable(e.listing[l]), Table::kListing);
  }
  out << table.Paint("== stopped " + e.stopped + " ==", Table::kBold) << "\n";
  const double accounted = e.next - e.start;
  const double fileEnd = static_cast<double>(e.fileSize) + 1;
  out << "== " << NumberText(accounted) << " bytes accounted for";
  if (accounted > 0) {
    out << ", positions " << NumberText(e.start) << " to " << NumberText(e.next - 1) << " ("
        << OffsetText(e.start) << " to " << OffsetText(e.next - 1) << ")";
  }
  if (e.next >= fileEnd || e.start >= fileEnd) {
    out << "; the file ends after position " << PlaceText(fileEnd - 1);
  }
  out << " ==\n";
  out << table.Paint("-- the property block, each line with the positions it came from --",
                     Table::kBold)
      << "\n";
  if (!e.block.empty() && e.lineSources.front() == LineSource::kNotLinked) {
    out << "(the stream is too long to link its block lines to their bytes)\n";
  }
  for (std::size_t l = 0; l < e.block.size(); ++l) {
    out << table.Paint(Printable(e.block[l]), Table::kBlock);
    const std::string sources = SourcesText(e, l);
    if (!sources.empty()) out << "  " << sources;
    out << "\n";
  }
}

}  // namespace

void WriteExplanation(const Explanation& e, const DeliverableInfo& info, const Request& request,
                      InputSource& file, const ExplainOptions& options, Output& out) {
  if (options.json) {
    WriteJsonExplanation(e, info, request, options.limit, out);
    return;
  }
  out << info.name << " (" << info.classWord << "): " << PrintablePath(request.path)
      << ", property stream from position " << PlaceText(request.start) << "; the file holds "
      << std::to_string(e.fileSize) << " bytes\n";
  WriteTable(e, file, options, out);
}

}  // namespace tvx::tool
