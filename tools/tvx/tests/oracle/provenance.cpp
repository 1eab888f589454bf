#include "provenance.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "decode.h"
#include "tvx/decode_run.h"
#include "tvx/output.h"

namespace tvx::core {

namespace {

// A read whose change changes the decode's path is a line's source only when it changes at most
// this many block lines: the code of a one-byte property, not a count that shifts everything.
constexpr std::size_t kFewLines = 3;
// The most block lines compared line against line.
constexpr std::size_t kMaxLinkedLines = 1024;

// The path a decode takes: where each read was and how many bytes it consumed.
class PathRecorder final : public DecodeObserver {
 public:
  void OnRead(const ReadEvent& read) override { path.emplace_back(read.position, read.count); }
  std::vector<std::pair<double, std::uint64_t>> path;
};

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

// The CR LF lines of a text, without their line ends.
std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find(kLineEnd);
    lines.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + kLineEnd.size());
  }
  return lines;
}

Run DecodeRegion(Decoder& decoder, const Request& request, std::string_view bytes,
                 std::uint64_t base) {
  RegionInput input(bytes, base);
  RegionFiles files(input);
  PathRecorder path;
  DecodeOptions options;
  options.observer = &path;
  options.keepListing = false;  // only the block is compared
  const DecodeOutput out = RunDecode(decoder, request, files, options);
  Run run;
  run.block = Lines(out.block);
  run.path = std::move(path.path);
  return run;
}

// Which lines of `before` stand unchanged in `after`: those of a longest common subsequence,
// taken from the first lines on. A common beginning is kept as it stands and the table covers
// the rest, its lines compared by number; a decode that many lines longer changed them all.
std::vector<bool> Kept(const std::vector<std::string>& before,
                       const std::vector<std::string>& after) {
  std::vector<bool> kept(before.size(), false);
  std::size_t same = 0;
  while (same < before.size() && same < after.size() && before[same] == after[same])
    kept[same++] = true;
  const std::size_t n = before.size() - same;
  const std::size_t k = after.size() - same;
  if (n == 0 || k == 0 || k > 4 * kMaxLinkedLines) return kept;

  std::unordered_map<std::string_view, std::uint32_t> numbers;
  const auto numbered = [&](const std::vector<std::string>& lines) {
    std::vector<std::uint32_t> out;
    out.reserve(lines.size() - same);
    for (std::size_t i = same; i < lines.size(); ++i)
      out.push_back(numbers.try_emplace(lines[i], numbers.size()).first->second);
    return out;
  };
  const std::vector<std::uint32_t> a = numbered(before);
  const std::vector<std::uint32_t> b = numbered(after);

  // common[i * width + j]: the longest common subsequence of a[i..] and b[j..] (at most n lines).
  const std::size_t width = k + 1;
  std::vector<std::uint16_t> common((n + 1) * width, 0);
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = k; j-- > 0;) {
      common[i * width + j] =
          a[i] == b[j] ? static_cast<std::uint16_t>(common[(i + 1) * width + j + 1] + 1)
                       : std::max(common[(i + 1) * width + j], common[i * width + j + 1]);
    }
  }
  for (std::size_t i = 0, j = 0; i < n && j < k;) {
    if (a[i] == b[j]) {
      kept[same + i++] = true;
      ++j;
    } else if (common[(i + 1) * width + j] >= common[i * width + j + 1]) {
      ++i;
    } else {
      ++j;
    }
  }
  return kept;
}

// The reads of a decode, as long as they are few and near enough to be linked, and where each
// property's reads start and end: a property (a section code the control knows) is its code byte
// and the reads of its value, up to the next code byte or part of the frame.
class Measure final : public DecodeObserver {
 public:
  explicit Measure(Position start) : start_(start), next_(start) {}
  void OnCode(const CodeEvent& code) override {
    if (path.empty()) return;
    bounds.push_back(path.size() - 1);  // the code byte's own read
    if (code.outcome == CodeOutcome::kProperty) properties.push_back(path.size() - 1);
  }
  void OnFramePart(double, FramePart) override { bounds.push_back(path.size()); }
  void OnRead(const ReadEvent& read) override {
    path.emplace_back(read.position, read.count);
    kinds.push_back(read.kind);
    if (read.count > 0) next_ = std::max(next_, PositionOf(read.position) + read.count);
    const auto bytes = static_cast<double>(next_ - start_);
    if (bytes > static_cast<double>(kMaxLinkedBytes) ||
        bytes * static_cast<double>(path.size()) > kMaxLinkingWork) {
      throw StreamDecode::Stop{};  // too much to link
    }
  }
  Position next() const { return next_; }
  std::vector<std::pair<double, std::uint64_t>> path;
  std::vector<ReadKind> kinds;
  std::vector<std::size_t> bounds;      // the reads that start a code or a part of the frame
  std::vector<std::size_t> properties;  // the code byte reads of the properties

 private:
  Position start_;
  Position next_;
};

// Which block lines change when each read's bytes change: those whose change leaves the decode's
// path as it was (`value`), and all of them (`all`).
struct Changes {
  std::vector<std::set<std::size_t>> value;
  std::vector<std::set<std::size_t>> all;
  std::vector<bool> pathChanging;  // some change of its bytes changed the decode's path
};

Changes Experiment(Decoder& decoder, const Request& request, std::string bytes, std::uint64_t base,
                   const Measure& measure, const Run& original) {
  const std::size_t reads = measure.path.size();
  Changes changes{std::vector<std::set<std::size_t>>(reads),
                  std::vector<std::set<std::size_t>>(reads), std::vector<bool>(reads, false)};
  for (std::size_t i = 0; i < reads; ++i) {
    const auto& [position, count] = measure.path[i];
    if (count == 0) continue;
    const auto from = static_cast<std::size_t>(PositionOf(position) - 1 - base);
    std::size_t to = std::min<std::size_t>(bytes.size(), from + count);
    // A zero-terminated text's value is its bytes before the zero, which ends it.
    if (measure.kinds[i] == ReadKind::kZeroTerminatedText && to > from && bytes[to - 1] == '\0') {
      --to;
    }
    // Every bit, the lowest bit, then the value 0 and the value 1: what a value of few meanings
    // (a flag of 65535, an Align of 7) shows only for some of its values.
    for (int change = 0; change < 4; ++change) {
      const std::string before = bytes.substr(from, to - from);
      for (std::size_t b = from; b < to; ++b) {
        const auto old = static_cast<unsigned char>(bytes[b]);
        const unsigned char now = change == 0   ? old ^ 0xFF
                                  : change == 1 ? old ^ 0x01
                                  : change == 2 ? 0
                                                : (b == from ? 1 : 0);
        bytes[b] = static_cast<char>(now);
      }
      const bool unchanged = bytes.compare(from, to - from, before) == 0;
      const Run run = unchanged ? original : DecodeRegion(decoder, request, bytes, base);
      bytes.replace(from, to - from, before);  // as it was
      const bool samePath = run.path == original.path;
      if (!samePath) changes.pathChanging[i] = true;
      const std::vector<bool> kept = Kept(original.block, run.block);
      for (std::size_t l = 0; l < kept.size(); ++l) {
        if (kept[l]) continue;
        changes.all[i].insert(l);
        if (samePath) changes.value[i].insert(l);
      }
    }
  }
  return changes;
}

// The reads a block line came from: those whose change changes its value alone; failing them,
// and when no decode of no bytes writes it, those that change it and the fewest lines (at most
// a few) in all.
std::vector<std::size_t> Sources(std::size_t line, const Changes& changes, bool startValue) {
  std::vector<std::size_t> sources;
  const std::size_t reads = changes.value.size();
  for (std::size_t i = 0; i < reads; ++i) {
    if (changes.value[i].count(line) != 0) sources.push_back(i);
  }
  if (!sources.empty() || startValue) return sources;
  std::size_t fewest = kFewLines + 1;
  for (std::size_t i = 0; i < reads; ++i) {
    if (changes.all[i].count(line) != 0) fewest = std::min(fewest, changes.all[i].size());
  }
  for (std::size_t i = 0; i < reads; ++i) {
    if (changes.all[i].count(line) != 0 && changes.all[i].size() == fewest) sources.push_back(i);
  }
  return sources;
}

// The block lines a property writes, found by taking it out of the stream: its code byte and its
// value's bytes removed, the decode must take the same path over the rest, and the lines that then
// go are the property's (a property whose line tells only that it was there, such as DragMode, or
// a picture's file name). Per property, its reads and those lines; none when the path changed or
// more than a few lines went.
std::vector<std::pair<std::vector<std::size_t>, std::vector<std::size_t>>> Removals(
    Decoder& decoder, const Request& request, const std::string& bytes, std::uint64_t base,
    const Measure& measure, const Run& original) {
  std::vector<std::pair<std::vector<std::size_t>, std::vector<std::size_t>>> found;
  const auto& path = measure.path;
  const auto offset = [&](std::size_t read) {
    return static_cast<std::size_t>(PositionOf(path[read].first) - 1 - base);
  };
  for (const std::size_t first : measure.properties) {
    const auto next = std::upper_bound(measure.bounds.begin(), measure.bounds.end(), first);
    const std::size_t end = next == measure.bounds.end() ? path.size() : *next;
    std::vector<std::size_t> reads;
    std::size_t to = offset(first);
    for (std::size_t i = first; i < end; ++i) {
      if (path[i].second == 0) continue;
      reads.push_back(i);
      to = std::max<std::size_t>(to, offset(i) + path[i].second);
    }
    const std::size_t from = offset(first);
    to = std::min(to, bytes.size());
    if (reads.empty() || to <= from) continue;
    const std::string cut = bytes.substr(0, from) + bytes.substr(to);
    const Run run = DecodeRegion(decoder, request, cut, base);
    // The same path over the rest: the reads before it, then those after it moved back.
    std::vector<std::pair<double, std::uint64_t>> expected(path.begin(),
                                                           path.begin() + static_cast<long>(first));
    for (std::size_t i = end; i < path.size(); ++i)
      expected.emplace_back(path[i].first - static_cast<double>(to - from), path[i].second);
    if (run.path != expected) continue;
    const std::vector<bool> kept = Kept(original.block, run.block);
    std::vector<std::size_t> gone;
    for (std::size_t l = 0; l < kept.size(); ++l) {
      if (!kept[l]) gone.push_back(l);
    }
    if (!gone.empty() && gone.size() <= kFewLines) found.emplace_back(reads, gone);
  }
  return found;
}

}  // namespace

BlockLinks LinkBlock(Decoder& decoder, InputSource& file, Position start, bool offsets) {
  BlockLinks links;
  Measure measure(start);
  DecodeSink none;
  bool stopped = false;
  StreamDecode(decoder, file, start, offsets).Run(none, &measure, &stopped);
  if (stopped) return links;
  const Request request = MakeRequest("program", start, offsets);
  const std::uint64_t base = start - 1;
  std::string bytes(static_cast<std::size_t>(measure.next() - start), '\0');
  bytes.resize(file.ReadAt(base, reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()));
  const Run original = DecodeRegion(decoder, request, bytes, base);
  if (original.path != measure.path) return links;  // the file changed while it was read
  // Lines are compared a block against a block: texts full of line ends are not linked.
  if (original.block.size() > kMaxLinkedLines) return links;
  const Run empty = DecodeRegion(decoder, request, {}, base);
  const std::set<std::string> startValues(empty.block.begin(), empty.block.end());
  const Changes changes = Experiment(decoder, request, bytes, base, measure, original);

  const std::size_t lines = original.block.size();
  links.linked = true;
  links.sources.resize(lines);
  links.values.resize(lines);
  links.lines.resize(measure.path.size());
  for (const auto& [position, count] : measure.path)
    links.positions.push_back(PositionOf(position));
  links.pathChanging = changes.pathChanging;
  bool untraced = false;
  for (std::size_t l = 0; l < lines; ++l) {
    const bool startValue = startValues.count(original.block[l]) != 0;
    links.values[l] = Sources(l, changes, startValue);
    links.sources[l] = !links.values[l].empty() ? LineSource::kValues
                       : startValue             ? LineSource::kStartValue
                                                : LineSource::kNotTraced;
    untraced = untraced || links.sources[l] == LineSource::kNotTraced;
  }
  // A line that no change of a value's bytes reaches: the property whose removal takes it away.
  if (untraced) {
    for (const auto& [reads, gone] : Removals(decoder, request, bytes, base, measure, original)) {
      for (const std::size_t l : gone) {
        if (links.sources[l] != LineSource::kNotTraced) continue;
        links.sources[l] = LineSource::kValues;
        links.values[l] = reads;
      }
    }
  }
  for (std::size_t l = 0; l < lines; ++l) {
    for (const std::size_t i : links.values[l])
      links.lines[i].push_back(l);
  }
  return links;
}

}  // namespace tvx::core
