#include "explain.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "tvx/extender.h"
#include "tvx/text.h"

namespace tvx::tool {

namespace {

constexpr std::size_t kBytesPerRow = 8;
constexpr int kPositionWidth = 14;
constexpr int kBytesWidth = static_cast<int>(kBytesPerRow * 3 - 1);
// Linking the block's lines decodes the stream twice for every read: streams whose reads times
// bytes exceed this are shown without it.
constexpr double kMaxLinkingWork = 64.0 * 1024 * 1024;
// A read whose change changes the decode's path is a line's source only when it changes at most
// this many block lines: the code of a one-byte property, not a count that shifts everything.
constexpr std::size_t kFewLines = 3;

// One thing that happened during a decode, in the order it happened.
struct Event {
  enum class Kind { kRead, kMark, kLine };
  Kind kind = Kind::kRead;
  double position = 0;      // reads and marks
  std::uint64_t count = 0;  // file bytes a read consumed
  std::string what;         // the reader ("word", "picture header", ...) or the mark
  std::string text;         // the value read, or the listing line
};

class Recorder final : public ReadObserver, public ListingObserver {
 public:
  void OnRead(double position, std::uint64_t count, std::string_view reader,
              std::string_view value) override {
    events.push_back(
        {Event::Kind::kRead, position, count, std::string(reader), std::string(value)});
  }
  void OnMark(double position, std::string_view mark) override {
    events.push_back({Event::Kind::kMark, position, 0, std::string(mark), {}});
  }
  void OnListingLine(std::string_view line) override {
    events.push_back({Event::Kind::kLine, 0, 0, {}, std::string(line)});
  }
  std::vector<Event> events;
};

// The path a decode takes: where each read was and how many bytes it consumed.
class PathRecorder final : public ReadObserver {
 public:
  void OnRead(double position, std::uint64_t count, std::string_view, std::string_view) override {
    path.emplace_back(position, count);
  }
  std::vector<std::pair<double, std::uint64_t>> path;
};

// One read and what followed it, or the listing lines written before the first read.
struct Item {
  std::string heading;  // a heading shown before the item, or ""
  bool read = false;
  bool code = false;  // a section's code byte
  double position = 0;
  std::uint64_t count = 0;
  std::string reader;
  std::string value;
  std::string what;                  // what the bytes were read as
  std::vector<std::string> listing;  // listing lines written after the read, before the next
  std::vector<std::size_t> block;    // the block lines the read feeds
};

struct Model {
  std::vector<Item> items;
  std::string stopped;                            // "after position 1074/432: end code 255"
  double start = 1;                               // the stream's first position
  double next = 1;                                // the first position not accounted for
  double fileEnd = 1;                             // the first position past the end of the file
  std::vector<std::string> block;                 // the property block's lines
  std::vector<std::vector<std::size_t>> sources;  // per block line: the items it came from
  std::set<std::string> startValues;              // the block lines of a decode of no bytes
  bool linked = false;                            // sources were worked out
};

enum class Section { kBefore, kA, kControlBlock, kB };

std::size_t NominalSize(std::string_view reader) {
  if (reader == "byte") return 1;
  if (reader == "word") return 2;
  if (reader == "long") return 4;
  return 0;
}

bool IsText(std::string_view reader) {
  return reader.find("text") != std::string_view::npos;
}

std::string Describe(const Event& read) {
  std::string what = read.what;
  if (read.what == "picture bytes") {
    what += ": " + read.text + " bytes of the picture file";
  } else if (IsText(read.what)) {
    what += " \"" + Printable(read.text) + "\"";
  } else if (!read.text.empty()) {
    what += " " + read.text;
  }
  const std::size_t nominal = NominalSize(read.what);
  if (read.count == 0) {
    what += " (past the end of the file)";
  } else if (read.count < nominal) {
    what += " (the file ends inside it; the missing bytes count as 0)";
  }
  return what;
}

// True when nothing was read between the code at `at` and the next code or the end: a code
// that the deliverable does not know consumes its code byte only.
bool PassedOver(const std::vector<Event>& events, std::size_t at) {
  for (std::size_t i = at + 1; i < events.size(); ++i) {
    if (events[i].kind == Event::Kind::kRead) return false;
    if (events[i].kind == Event::Kind::kMark) return true;
  }
  return true;
}

Model Build(const std::vector<Event>& events, double start, double fileEnd) {
  Model m;
  m.start = start;
  m.next = start;
  m.fileEnd = fileEnd;
  Section section = Section::kBefore;
  std::string heading;
  bool codeNext = false;
  int lastCode = -1;
  Section lastCodeSection = Section::kBefore;
  bool lastCodePassedOver = false;
  bool anyRead = false;
  std::string lastLine;
  bool lineAfterLastRead = false;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const Event& e = events[i];
    if (e.kind == Event::Kind::kMark) {
      if (e.what == "code") {
        codeNext = true;
      } else if (e.what == "section A") {
        section = Section::kA;
        heading = "section A from " + PositionText(e.position) + ": extender codes, up to code 45";
      } else if (e.what == "section B") {
        section = Section::kB;
        heading = "section B from " + PositionText(e.position) + ": extender codes, up to code 255";
      }
      continue;
    }
    if (e.kind == Event::Kind::kLine) {
      if (m.items.empty()) m.items.emplace_back();
      m.items.back().listing.push_back(e.text);
      lastLine = e.text;
      lineAfterLastRead = true;
      continue;
    }
    Item item;
    item.heading = std::move(heading);
    heading.clear();
    item.read = true;
    item.position = e.position;
    item.count = e.count;
    item.reader = e.what;
    item.value = e.text;
    if (e.count > 0) m.next = std::max(m.next, e.position + static_cast<double>(e.count));
    if (codeNext) {
      const int code = e.text.empty() ? 0 : std::stoi(e.text);
      item.code = true;
      item.what = "code " + e.text;
      lastCodePassedOver = PassedOver(events, i);
      const bool endCode = (section == Section::kA && code == kEndOfSectionA) ||
                           (section == Section::kB && code == kEndOfSectionB);
      if (lastCodePassedOver && !endCode) {
        item.what += ": not known to this control";
        if (section == Section::kA) item.what += ", passed over";
      } else if (const std::string_view name = ExtenderCodeName(code); !name.empty()) {
        item.what += ": " + std::string(name);
      }
      if (e.count == 0) item.what += " (past the end of the file)";
      lastCode = code;
      lastCodeSection = section;
      if (section == Section::kA && code == kEndOfSectionA) {
        section = Section::kControlBlock;
        heading = "control block from " + PositionText(e.position + 1) +
                  ": the control's own record, read by its decoder";
      }
    } else {
      item.what = Describe(e);
      lastCode = -1;
    }
    m.items.push_back(std::move(item));
    codeNext = false;
    anyRead = true;
    lineAfterLastRead = false;
  }

  // Where and why the decode stopped.
  std::string why;
  if (lineAfterLastRead && lastLine == kUnexpectedEnd) {
    why = std::string(kUnexpectedEnd) + ": the next code byte would lie past the end of the file";
  } else if (lastCode == kEndOfSectionB && lastCodeSection == Section::kB && !lineAfterLastRead) {
    why = "end code 255";
  } else if (lastCode >= 0 && lastCodeSection == Section::kB && lastCodePassedOver &&
             lineAfterLastRead) {
    why = "stop line \"" + Printable(lastLine) + "\" for code " + std::to_string(lastCode) +
          ", which this control does not know in section B";
  } else {
    why = "the decoder read nothing more";
  }
  const std::string where = !anyRead         ? "before reading anything"
                            : m.next > start ? "after position " + PositionText(m.next - 1)
                                             : "without reading a byte of the file";
  m.stopped = where + ": " + why;
  return m;
}

// The file's bytes from `base` (0-based) on, as far as they were read; nothing past them.
class RegionInput final : public InputSource {
 public:
  RegionInput(std::string_view bytes, std::uint64_t base) : bytes_(bytes), base_(base) {}
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) override {
    if (offset < base_) return 0;
    return BytesInput(bytes_).ReadAt(offset - base_, into, size);
  }
  std::uint64_t Size() override { return base_ + bytes_.size(); }

 private:
  std::string_view bytes_;
  std::uint64_t base_;
};

class RegionFiles final : public FileSystem {
 public:
  explicit RegionFiles(InputSource& input) : input_(input) {}
  InputSource* OpenInput(const std::string&) override { return &input_; }
  bool WriteOutput(std::string_view, std::string_view) override { return false; }

 private:
  InputSource& input_;
};

struct Run {
  std::vector<std::string> block;
  std::vector<std::pair<double, std::uint64_t>> path;
};

Run DecodeRegion(Decoder& decoder, const Request& request, std::string_view bytes,
                 std::uint64_t base) {
  RegionInput input(bytes, base);
  RegionFiles files(input);
  PathRecorder path;
  const DecodeOutput out = RunDecode(decoder, request, files, {&path, nullptr});
  Run run;
  for (const std::string_view line : CrLfLines(out.block))
    run.block.emplace_back(line);
  run.path = std::move(path.path);
  return run;
}

// Which lines of `before` stand unchanged in `after`: those of a longest common subsequence, so
// that a line added or removed above another does not count as a change of it.
std::vector<bool> Kept(const std::vector<std::string>& before,
                       const std::vector<std::string>& after) {
  const std::size_t n = before.size();
  const std::size_t k = after.size();
  std::vector<std::vector<std::uint32_t>> common(n + 1, std::vector<std::uint32_t>(k + 1, 0));
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = k; j-- > 0;) {
      common[i][j] = before[i] == after[j] ? common[i + 1][j + 1] + 1
                                           : std::max(common[i + 1][j], common[i][j + 1]);
    }
  }
  std::vector<bool> kept(n, false);
  for (std::size_t i = 0, j = 0; i < n && j < k;) {
    if (before[i] == after[j]) {
      kept[i++] = true;
      ++j;
    } else if (common[i + 1][j] >= common[i][j + 1]) {
      ++i;
    } else {
      ++j;
    }
  }
  return kept;
}

// Which block lines each read feeds. Each read's bytes are changed (all bits, then the lowest
// bit of each byte) and the stream decoded again: a read whose change leaves the decode's path
// as it was and changes a block line is where that line's value came from. A line no such read
// changes is not from the stream when a decode of no bytes writes it too; otherwise it came
// from the reads whose change changed it and at most kFewLines lines in all (the code that made
// it, say), or it is not traced to a read (its bytes lay past the end of the file, or every read
// that changes it changes much of the block, as a count or a code does).
void Link(Model& m, Decoder& decoder, const Request& request, InputSource& file) {
  const auto base = static_cast<std::uint64_t>(m.start - 1);
  const auto size = static_cast<std::uint64_t>(m.next - m.start);
  if (static_cast<double>(size) * static_cast<double>(m.items.size()) > kMaxLinkingWork) return;
  std::string bytes(size, '\0');
  bytes.resize(file.ReadAt(base, reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()));
  const Run original = DecodeRegion(decoder, request, bytes, base);
  if (original.block != m.block) return;  // the file changed while it was explained
  const Run empty = DecodeRegion(decoder, request, {}, base);
  m.startValues.insert(empty.block.begin(), empty.block.end());
  const std::set<std::string>& startValues = m.startValues;

  const std::size_t lines = m.block.size();
  std::vector<std::set<std::size_t>> valueChanges(m.items.size());
  std::vector<std::set<std::size_t>> allChanges(m.items.size());
  for (std::size_t i = 0; i < m.items.size(); ++i) {
    const Item& item = m.items[i];
    if (!item.read || item.count == 0) continue;
    const auto from = static_cast<std::size_t>(item.position - m.start);
    std::size_t to = std::min<std::size_t>(bytes.size(), from + item.count);
    // A zero-terminated text's value is its bytes before the zero, which ends it.
    if (item.reader == "zero-terminated text" && to > from && bytes[to - 1] == '\0') --to;
    for (const unsigned char mask : {0xFF, 0x01}) {
      const auto flip = [&] {
        for (std::size_t b = from; b < to; ++b)
          bytes[b] = static_cast<char>(bytes[b] ^ mask);
      };
      flip();
      const Run run = DecodeRegion(decoder, request, bytes, base);
      flip();  // as it was
      const bool samePath = run.path == original.path;
      const std::vector<bool> kept = Kept(m.block, run.block);
      for (std::size_t l = 0; l < lines; ++l) {
        if (kept[l]) continue;
        allChanges[i].insert(l);
        if (samePath) valueChanges[i].insert(l);
      }
    }
  }
  m.sources.assign(lines, {});
  for (std::size_t l = 0; l < lines; ++l) {
    for (std::size_t i = 0; i < m.items.size(); ++i) {
      if (valueChanges[i].count(l) != 0) m.sources[l].push_back(i);
    }
    if (!m.sources[l].empty() || startValues.count(m.block[l]) != 0) continue;
    std::size_t fewest = kFewLines + 1;
    for (std::size_t i = 0; i < m.items.size(); ++i) {
      if (allChanges[i].count(l) != 0) fewest = std::min(fewest, allChanges[i].size());
    }
    for (std::size_t i = 0; i < m.items.size(); ++i) {
      if (allChanges[i].count(l) != 0 && allChanges[i].size() == fewest) {
        m.sources[l].push_back(i);
      }
    }
  }
  for (std::size_t l = 0; l < lines; ++l) {
    for (const std::size_t i : m.sources[l])
      m.items[i].block.push_back(l);
  }
  m.linked = true;
}

std::string Pad(std::string text, int width, bool right) {
  if (static_cast<int>(text.size()) >= width) return text;
  const std::string blanks(static_cast<std::size_t>(width) - text.size(), ' ');
  return right ? blanks + text : text + blanks;
}

// The table, a row at a time, with an optional limit on the rows.
class Table {
 public:
  Table(Output& out, bool colour, std::uint64_t limit)
      : out_(out), colour_(colour), limit_(limit) {}

  // False once the limit is reached.
  bool Row(const std::string& position, const std::string& bytes, const std::string& what,
           std::string_view style = {}) {
    if (limit_ != 0 && rows_ >= limit_) {
      if (!cut_)
        out_ << Paint("== cut after " + std::to_string(limit_) + " rows (--limit) ==", kBold)
             << "\n";
      cut_ = true;
      return false;
    }
    ++rows_;
    Write(position, bytes, what, style);
    return true;
  }

  // The column titles, not counted as a row.
  void Header() { Write("position", "bytes", "read as / => listing line", {}); }

  void Heading(const std::string& text) {
    if (!cut_) out_ << Paint("-- " + text + " --", kBold) << "\n";
  }

  void Write(const std::string& position, const std::string& bytes, const std::string& what,
             std::string_view style) {
    std::string line = Pad(position, kPositionWidth, true) + " | " + Pad(bytes, kBytesWidth, false);
    if (!what.empty()) line += " | " + Paint(what, style);
    while (!line.empty() && line.back() == ' ')
      line.pop_back();
    out_ << line << "\n";
  }

  std::string Paint(const std::string& text, std::string_view style) const {
    if (!colour_ || style.empty()) return text;
    return std::string(style) + text + "\x1b[0m";
  }

  bool cut() const { return cut_; }

  static constexpr std::string_view kBold = "\x1b[1m";
  static constexpr std::string_view kCode = "\x1b[36m";
  static constexpr std::string_view kListing = "\x1b[32m";
  static constexpr std::string_view kBlock = "\x1b[33m";
  static constexpr std::string_view kAlarm = "\x1b[31m";

 private:
  Output& out_;
  bool colour_;
  std::uint64_t limit_;
  std::uint64_t rows_ = 0;
  bool cut_ = false;
};

// The rows of one read: its bytes, kBytesPerRow to a row, each row with its own position. The
// file is read again here, a block of rows at a time.
void ReadRows(Table& table, const Item& item, InputSource& file) {
  const std::string_view style = item.code ? Table::kCode : std::string_view();
  if (item.count == 0) {
    table.Row(PositionText(item.position), "(past the end)", item.what, style);
    return;
  }
  constexpr std::size_t kBlockSize = kBytesPerRow * 512;
  std::uint8_t block[kBlockSize];
  const auto first = static_cast<std::uint64_t>(item.position - 1);
  for (std::uint64_t from = 0; from < item.count; from += kBlockSize) {
    const std::size_t got = file.ReadAt(
        first + from, block,
        static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, item.count - from)));
    if (got == 0) {
      table.Row("", "",
                "!! the file changed while it was shown: it ends before position " +
                    PositionText(item.position + static_cast<double>(from)),
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
      if (!table.Row(PositionText(item.position + static_cast<double>(done)), hex,
                     done == 0 ? item.what : "", style)) {
        return;
      }
    }
  }
}

std::string SourcesText(const Model& m, std::size_t line) {
  if (!m.linked) return "";
  if (m.sources[line].empty()) {
    return m.startValues.count(m.block[line]) != 0 ? "(not from the stream)"
                                                   : "(not traced to a value read)";
  }
  std::string text = "<-";
  for (const std::size_t i : m.sources[line])
    text += " " + PositionText(m.items[i].position);
  return text;
}

void WriteTable(const Model& m, InputSource& file, bool colour, std::uint64_t limit, Output& out) {
  Table table(out, colour, limit);
  table.Header();
  double next = m.start;
  for (const Item& item : m.items) {
    if (!item.heading.empty()) table.Heading(item.heading);
    if (item.read) {
      if (item.count > 0 && item.position != next) {
        // Cannot happen with the framework's reader, which only moves forward; shown so that a
        // broken view never passes for a complete one.
        table.Row("", "",
                  item.position > next ? "!! bytes " + PositionText(next) + " to " +
                                             PositionText(item.position - 1) + " were not read"
                                       : "!! bytes read twice from " + PositionText(item.position),
                  Table::kAlarm);
      }
      if (item.count > 0) next = item.position + static_cast<double>(item.count);
      ReadRows(table, item, file);
    }
    for (const std::string& line : item.listing)
      table.Row("", "", "=> " + Printable(line), Table::kListing);
    if (table.cut()) break;
  }
  out << table.Paint("== stopped " + m.stopped + " ==", Table::kBold) << "\n";
  const double accounted = m.next - m.start;
  out << "== " << NumberText(accounted) << " bytes accounted for";
  if (accounted > 0) out << ", " << PositionText(m.start) << " to " << PositionText(m.next - 1);
  if (m.next >= m.fileEnd || m.start >= m.fileEnd) {
    out << "; the file ends after position " << PositionText(m.fileEnd - 1);
  }
  out << " ==\n";
  out << table.Paint("-- the property block, each line with the bytes it came from --",
                     Table::kBold)
      << "\n";
  if (!m.linked) out << "(the stream is too long to link its block lines to their bytes)\n";
  for (std::size_t l = 0; l < m.block.size(); ++l) {
    out << table.Paint(Printable(m.block[l]), Table::kBlock);
    const std::string sources = SourcesText(m, l);
    if (!sources.empty()) out << "  " << sources;
    out << "\n";
  }
}

void WriteJson(const Model& m, const DecodeOutput& result, const Request& request,
               const DeliverableInfo& info, std::uint64_t limit, Output& out) {
  out << "{\"control\": " << JsonString(info.name) << ", \"file\": " << JsonString(request.path)
      << ", \"position\": " << NumberText(request.start)
      << ", \"file size\": " << NumberText(m.fileEnd - 1) << ",\n \"values\": [";
  std::uint64_t written = 0;
  for (const Item& item : m.items) {
    if (!item.read) continue;
    if (limit != 0 && written == limit) break;
    out << (written++ == 0 ? "\n  " : ",\n  ") << "{\"position\": " << NumberText(item.position)
        << ", \"size\": " << NumberText(static_cast<double>(item.count))
        << ", \"reader\": " << JsonString(item.reader) << ", \"value\": " << JsonString(item.value)
        << ", \"what\": " << JsonString(item.what) << ", \"listing\": [";
    for (std::size_t i = 0; i < item.listing.size(); ++i)
      out << (i ? ", " : "") << JsonString(item.listing[i]);
    out << "], \"block\": [";
    for (std::size_t i = 0; i < item.block.size(); ++i)
      out << (i ? ", " : "") << JsonString(m.block[item.block[i]]);
    out << "]}";
  }
  out << "\n ],\n \"cut\": " << (limit != 0 && written == limit ? "true" : "false");
  out << ",\n \"listing before the first read\": [";
  if (!m.items.empty() && !m.items.front().read) {
    const auto& lines = m.items.front().listing;
    for (std::size_t i = 0; i < lines.size(); ++i)
      out << (i ? ", " : "") << JsonString(lines[i]);
  }
  out << "],\n \"block\": [";
  for (std::size_t l = 0; l < m.block.size(); ++l) {
    out << (l ? ",\n  " : "\n  ") << "{\"line\": " << JsonString(m.block[l]) << ", \"from\": ";
    if (!m.linked) {
      out << "null}";
      continue;
    }
    out << "[";
    for (std::size_t k = 0; k < m.sources[l].size(); ++k)
      out << (k ? ", " : "") << NumberText(m.items[m.sources[l][k]].position);
    out << "]}";
  }
  out << "\n ],\n \"ended\": " << JsonString(EndedName(result.ended))
      << ", \"stopped\": " << JsonString(m.stopped)
      << ", \"accounted\": " << NumberText(m.next - m.start) << "}\n";
}

}  // namespace

DecodeOutput Explain(Decoder& decoder, const Request& request, ReadOnlyFiles& files,
                     const ExplainOptions& options, Output& out) {
  Recorder recorder;
  const DecodeOutput result = RunDecode(decoder, request, files, {&recorder, &recorder});
  InputSource* file = files.input();
  const double fileEnd = file != nullptr ? static_cast<double>(file->Size()) + 1 : 1;
  Model m = Build(recorder.events, request.start, fileEnd);
  for (const std::string_view line : CrLfLines(result.block))
    m.block.emplace_back(line);
  if (file != nullptr) Link(m, decoder, request, *file);
  if (options.json) {
    WriteJson(m, result, request, decoder.Info(), options.limit, out);
  } else {
    const DeliverableInfo& info = decoder.Info();
    out << info.name << " (" << info.classWord << "): " << Printable(request.path)
        << ", property stream from position " << PositionText(request.start) << "; the file holds "
        << NumberText(fileEnd - 1) << " bytes\n";
    if (file != nullptr) WriteTable(m, *file, options.colour, options.limit, out);
  }
  return result;
}

}  // namespace tvx::tool
