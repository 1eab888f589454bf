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

// The reads of a decode, as long as they are few and near enough to be linked.
class Measure final : public DecodeObserver {
 public:
  explicit Measure(Position start) : start_(start), next_(start) {}
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

 private:
  Position start_;
  Position next_;
};

// Which block lines change when each read's bytes change: those whose change leaves the decode's
// path as it was (`value`), and all of them (`all`).
struct Changes {
  std::vector<std::set<std::size_t>> value;
  std::vector<std::set<std::size_t>> all;
};

Changes Experiment(Decoder& decoder, const Request& request, std::string bytes, std::uint64_t base,
                   const Measure& measure, const Run& original) {
  const std::size_t reads = measure.path.size();
  Changes changes{std::vector<std::set<std::size_t>>(reads),
                  std::vector<std::set<std::size_t>>(reads)};
  for (std::size_t i = 0; i < reads; ++i) {
    const auto& [position, count] = measure.path[i];
    if (count == 0) continue;
    const auto from = static_cast<std::size_t>(PositionOf(position) - 1 - base);
    std::size_t to = std::min<std::size_t>(bytes.size(), from + count);
    // A zero-terminated text's value is its bytes before the zero, which ends it.
    if (measure.kinds[i] == ReadKind::kZeroTerminatedText && to > from && bytes[to - 1] == '\0') {
      --to;
    }
    for (const unsigned char mask : {0xFF, 0x01}) {
      const auto flip = [&] {
        for (std::size_t b = from; b < to; ++b)
          bytes[b] = static_cast<char>(bytes[b] ^ mask);
      };
      flip();
      const Run run = DecodeRegion(decoder, request, bytes, base);
      flip();  // as it was
      const bool samePath = run.path == original.path;
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
  for (std::size_t l = 0; l < lines; ++l) {
    const bool startValue = startValues.count(original.block[l]) != 0;
    links.values[l] = Sources(l, changes, startValue);
    links.sources[l] = !links.values[l].empty() ? LineSource::kValues
                       : startValue             ? LineSource::kStartValue
                                                : LineSource::kNotTraced;
    for (const std::size_t i : links.values[l])
      links.lines[i].push_back(l);
  }
  return links;
}

}  // namespace tvx::core
