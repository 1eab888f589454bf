#include "explain_table.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "explanation.h"
#include "text.h"
#include "words.h"

namespace tvx::render {

namespace {

constexpr std::size_t kBytesPerRow = 8;
constexpr int kPositionWidth = 10;
constexpr int kOffsetWidth = 10;
constexpr int kBytesWidth = static_cast<int>(kBytesPerRow * 3 - 1);
constexpr char kHexDigits[] = "0123456789ABCDEF";

constexpr std::string_view kBold = "\x1b[1m";
constexpr std::string_view kCode = "\x1b[36m";
constexpr std::string_view kListing = "\x1b[32m";
constexpr std::string_view kBlock = "\x1b[33m";
constexpr std::string_view kAlarm = "\x1b[31m";
constexpr std::string_view kReset = "\x1b[0m";

std::string Pad(std::string text, int width, bool right) {
  if (static_cast<int>(text.size()) >= width) return text;
  const std::string blanks(static_cast<std::size_t>(width) - text.size(), ' ');
  return right ? blanks + text : text + blanks;
}

// The table, a row at a time, as the decode hands its values on.
class Table final : public core::ExplainSink {
 public:
  Table(Writer& out, const TableOptions& options, core::Position start)
      : out_(out), options_(options), next_(start) {}

  void Header() { Write("position", "offset", "bytes", "read as / => listing line"); }

  // A part's heading is shown before its first value (a part that ends the decode before any
  // value of it has none).
  bool Part(FramePart part, core::Position at) override {
    headings_.push_back("-- " + PartHeading(part, at) + " --");
    return true;
  }

  bool Value(const core::ExplainedValue& v) override {
    for (const std::string& heading : headings_)
      out_ << Paint(heading, kBold) << "\n";
    headings_.clear();
    if (v.consumed > 0 && v.position != next_) {
      // Cannot happen with the framework's reader, which only moves forward; shown so that a
      // broken view never passes for a complete one.
      if (!Row(0, "",
               v.position > next_ ? "!! bytes " + PlaceText(next_) + " to " +
                                        PlaceText(v.position - 1) + " were not read"
                                  : "!! bytes read twice from " + PlaceText(v.position),
               kAlarm)) {
        return false;
      }
    }
    if (v.consumed > 0) next_ = v.End();
    return Rows(v);
  }

  bool ListingLine(const core::TextRef& line) override {
    lastLine_ = line.HoldsLongText() ? std::string() : line.Bytes();
    if (!Room()) return false;
    ++rows_;
    Cells("", "", "");
    out_ << " | ";
    if (options_.colour) {
      out_ << kListing << "=> ";
      line.Write([&](std::string_view bytes) { out_ << Printable(bytes); });
      out_ << kReset << "\n";
      return true;
    }
    // As every row, without the blanks at its end.
    out_ << "=>";
    std::size_t blanks = 1;
    line.Write([&](std::string_view bytes) {
      const std::string shown = Printable(bytes);
      const std::size_t last = shown.find_last_not_of(' ');
      if (last == std::string::npos) {
        blanks += shown.size();
        return;
      }
      out_ << std::string(blanks, ' ') << std::string_view(shown).substr(0, last + 1);
      blanks = shown.size() - last - 1;
    });
    out_ << "\n";
    return true;
  }

  std::string Paint(const std::string& text, std::string_view style) const {
    if (!options_.colour || style.empty() || text.empty()) return text;
    return std::string(style) + text + std::string(kReset);
  }

  const std::string& lastLine() const { return lastLine_; }
  bool cut() const { return cut_; }

 private:
  // True while the limit leaves room for a row; says so once when it does not.
  bool Room() {
    if (options_.limit == 0 || rows_ < options_.limit) return true;
    if (!cut_) {
      out_ << Paint("== cut after " + std::to_string(options_.limit) +
                        " rows (--limit): the rest of the stream was not decoded ==",
                    kBold)
           << "\n";
    }
    cut_ = true;
    return false;
  }

  bool Row(core::Position position, const std::string& bytes, const std::string& what,
           std::string_view style = {}) {
    if (!Room()) return false;
    ++rows_;
    Write(position > 0 ? std::to_string(position) : "", position > 0 ? OffsetText(position) : "",
          bytes, Paint(what, style));
    return true;
  }

  void Cells(const std::string& position, const std::string& offset, const std::string& bytes) {
    out_ << Pad(position, kPositionWidth, true) << " | " << Pad(offset, kOffsetWidth, true) << " | "
         << Pad(bytes, kBytesWidth, false);
  }

  void Write(const std::string& position, const std::string& offset, const std::string& bytes,
             const std::string& what) {
    std::string line = Pad(position, kPositionWidth, true) + " | " +
                       Pad(offset, kOffsetWidth, true) + " | " + Pad(bytes, kBytesWidth, false);
    if (!what.empty()) line += " | " + what;
    while (!line.empty() && line.back() == ' ')
      line.pop_back();
    out_ << line << "\n";
  }

  // A row of bytes alone: position, offset and the bytes, as Write lays them out.
  void BytesRow(std::uint32_t position, const std::uint8_t* bytes, std::size_t n) {
    char line[kPositionWidth + 3 + kOffsetWidth + 3 + kBytesWidth + 1];
    std::memset(line, ' ', sizeof line);
    char* end = line + kPositionWidth;
    char digits[24];
    const auto [p, _] = std::to_chars(digits, digits + 10, position);
    std::memcpy(end - (p - digits), digits, static_cast<std::size_t>(p - digits));
    std::memcpy(end, " | ", 3);
    end += 3 + kOffsetWidth;
    const auto [q, __] = std::to_chars(digits, digits + 8, position - 1, 16);
    for (char* c = digits; c < q; ++c)
      *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
    std::memcpy(end - (q - digits), digits, static_cast<std::size_t>(q - digits));
    std::memcpy(end - (q - digits) - 2, "0x", 2);
    std::memcpy(end, " | ", 3);
    end += 3;
    for (std::size_t i = 0; i < n; ++i) {
      if (i > 0) *end++ = ' ';
      *end++ = kHexDigits[bytes[i] >> 4];
      *end++ = kHexDigits[bytes[i] & 15];
    }
    *end++ = '\n';
    out_ << std::string_view(line, static_cast<std::size_t>(end - line));
  }

  // The rows of one value: its bytes, kBytesPerRow to a row, each row with its own position.
  // The file is read again here, a block of rows at a time.
  bool Rows(const core::ExplainedValue& v) {
    const std::string_view style = v.code ? kCode : std::string_view();
    const std::string what = Printable(ValueWords(v));
    if (v.consumed == 0) return Row(v.position, "(past the end)", what, style);
    constexpr std::size_t kBlockSize = kBytesPerRow * 512;
    std::uint8_t block[kBlockSize];
    const std::uint64_t first = v.position - 1;
    // A long value shows its first bytes and how many more there are, unless all are asked for.
    const std::uint64_t shown =
        options_.whole ? v.consumed : std::min(v.consumed, kShownValueBytes);
    for (std::uint64_t from = 0; from < shown; from += kBlockSize) {
      const std::size_t got = v.decode->input().ReadAt(
          first + from, block,
          static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, shown - from)));
      if (got == 0) {
        return Row(0, "",
                   "!! the file changed while it was shown: it ends before position " +
                       PlaceText(v.position + from),
                   kAlarm);
      }
      for (std::size_t row = 0; row < got; row += kBytesPerRow) {
        const std::size_t n = std::min(got - row, kBytesPerRow);
        const std::uint64_t done = from + row;
        // (Positions of up to ten digits and offsets of up to eight fill their columns.)
        if (done > 0 && v.position + done <= 0xFFFFFFFFu &&
            (options_.limit == 0 || rows_ < options_.limit)) {
          ++rows_;
          BytesRow(static_cast<std::uint32_t>(v.position + done), block + row,
                   n);  // the most common row, made in place
          continue;
        }
        std::string hex;
        for (std::size_t i = row; i < row + n; ++i) {
          if (i > row) hex += ' ';
          hex += kHexDigits[block[i] >> 4];
          hex += kHexDigits[block[i] & 15];
        }
        if (!Row(v.position + done, hex, done == 0 ? what : "", style)) return false;
      }
    }
    if (shown < v.consumed) {
      return Row(0, "",
                 "... and " + std::to_string(v.consumed - shown) +
                     " bytes more (--whole shows every byte)");
    }
    return true;
  }

  Writer& out_;
  TableOptions options_;
  std::uint64_t rows_ = 0;
  bool cut_ = false;
  core::Position next_ = 0;
  std::string lastLine_;
  std::vector<std::string> headings_;
};

std::string SourcesText(const core::LineLink& link) {
  switch (link.source) {
    case core::LineSource::kNotLinked:
      return "";
    case core::LineSource::kStartValue:
      return "(not from the stream)";
    case core::LineSource::kNotTraced:
      return "(not traced to a value read)";
    case core::LineSource::kValues:
      break;
  }
  std::string text = "<-";
  for (const core::Position p : link.from)
    text += " " + std::to_string(p);
  return text;
}

}  // namespace

struct ExplainTable::State {
  State(Writer& out, const TableOptions& options, core::Position start)
      : table(out, options, start), out(out), options(options) {}
  Table table;
  Writer& out;
  TableOptions options;
};

ExplainTable::ExplainTable(Writer& out, const DeliverableInfo& control, const std::string& file,
                           core::Position position, std::uint64_t fileSize,
                           const TableOptions& options) {
  out << control.name << " (" << control.classWord << "): " << PrintablePath(file, options.utf8)
      << ", property stream from position " << PlaceText(position) << "; the file holds "
      << std::to_string(fileSize) << " bytes\n";
  state_ = std::make_unique<State>(out, options, position);
  state_->table.Header();
}

ExplainTable::~ExplainTable() = default;

bool ExplainTable::Part(FramePart part, core::Position at) {
  return state_->table.Part(part, at);
}

bool ExplainTable::Value(const core::ExplainedValue& value) {
  return state_->table.Value(value);
}

bool ExplainTable::ListingLine(const core::TextRef& line) {
  return state_->table.ListingLine(line);
}

std::optional<core::StopInfo> ExplainTable::Finish(const core::Explanation& x) {
  Writer& out = state_->out;
  const TableOptions& options = state_->options;
  Table& table = state_->table;
  const core::Explained& e = x.e;
  const std::string stopped = e.cut ? "after " + Plural(e.values, "value") + " (--limit)"
                                    : StoppedWords(e, table.lastLine());
  if (!e.cut) out << table.Paint("== stopped " + Printable(stopped) + " ==", kBold) << "\n";
  const std::uint64_t accounted = e.next - e.start;
  const std::uint64_t fileEnd = e.fileSize + 1;
  out << "== " << std::to_string(accounted) << " bytes accounted for";
  if (accounted > 0) {
    out << ", positions " << std::to_string(e.start) << " to " << std::to_string(e.next - 1) << " ("
        << OffsetText(e.start) << " to " << OffsetText(e.next - 1) << ")";
  }
  if (e.next >= fileEnd || e.start >= fileEnd) {
    out << "; the file ends after position " << PlaceText(fileEnd - 1);
  }
  out << " ==\n";
  if (e.cut || !x.record) return std::nullopt;
  out << table.Paint("-- the property block, each line with the positions it came from --", kBold)
      << "\n";
  const core::DecodedRecord& record = *x.record;
  for (std::size_t line = 0; line < record.blockLines.size(); ++line) {
    if (options.colour) out << kBlock;
    record.Text(record.BlockLine(line)).Write([&](std::string_view bytes) {
      out << Printable(bytes);
    });
    if (options.colour) out << kReset;
    const std::string sources =
        SourcesText(line < x.links.size() ? x.links[line] : core::LineLink{});
    if (!sources.empty()) out << "  " << sources;
    out << "\n";
  }
  return e.decode.stop;
}

}  // namespace tvx::render
