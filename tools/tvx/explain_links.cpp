#include "explain_links.h"

#include <algorithm>
#include <set>
#include <utility>

#include "text_output.h"

namespace tvx::tool {

namespace {

// Linking decodes the stream twice for every read: streams whose reads times bytes exceed this
// are left unlinked.
constexpr double kMaxLinkingWork = 64.0 * 1024 * 1024;
// A read whose change changes the decode's path is a line's source only when it changes at most
// this many block lines: the code of a one-byte property, not a count that shifts everything.
constexpr std::size_t kFewLines = 3;

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

Run DecodeRegion(Decoder& decoder, const Request& request, std::string_view bytes,
                 std::uint64_t base) {
  RegionInput input(bytes, base);
  RegionFiles files(input);
  PathRecorder path;
  const DecodeOutput out = RunDecode(decoder, request, files, &path);
  Run run;
  for (const std::string_view line : CrLfLines(out.block))
    run.block.emplace_back(line);
  run.path = std::move(path.path);
  return run;
}

// Which lines of `before` stand unchanged in `after`: those of a longest common subsequence.
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

}  // namespace

void LinkBlockLines(Explanation& e, Decoder& decoder, const Request& request, InputSource& file) {
  const auto base = static_cast<std::uint64_t>(e.start - 1);
  const auto size = static_cast<std::uint64_t>(e.next - e.start);
  if (static_cast<double>(size) * static_cast<double>(e.reads.size()) > kMaxLinkingWork) return;
  std::string bytes(size, '\0');
  bytes.resize(file.ReadAt(base, reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()));
  const Run original = DecodeRegion(decoder, request, bytes, base);
  if (original.block != e.block) return;  // the file changed while it was explained
  const Run empty = DecodeRegion(decoder, request, {}, base);
  const std::set<std::string> startValues(empty.block.begin(), empty.block.end());

  const std::size_t lines = e.block.size();
  std::vector<std::set<std::size_t>> valueChanges(e.reads.size());
  std::vector<std::set<std::size_t>> allChanges(e.reads.size());
  for (std::size_t i = 0; i < e.reads.size(); ++i) {
    const ReadEvent& read = e.reads[i].read;
    if (read.count == 0) continue;
    const auto from = static_cast<std::size_t>(read.position - e.start);
    std::size_t to = std::min<std::size_t>(bytes.size(), from + read.count);
    // A zero-terminated text's value is its bytes before the zero, which ends it.
    if (read.kind == ReadKind::kZeroTerminatedText && to > from && bytes[to - 1] == '\0') --to;
    for (const unsigned char mask : {0xFF, 0x01}) {
      const auto flip = [&] {
        for (std::size_t b = from; b < to; ++b)
          bytes[b] = static_cast<char>(bytes[b] ^ mask);
      };
      flip();
      const Run run = DecodeRegion(decoder, request, bytes, base);
      flip();  // as it was
      const bool samePath = run.path == original.path;
      const std::vector<bool> kept = Kept(e.block, run.block);
      for (std::size_t l = 0; l < lines; ++l) {
        if (kept[l]) continue;
        allChanges[i].insert(l);
        if (samePath) valueChanges[i].insert(l);
      }
    }
  }
  for (std::size_t l = 0; l < lines; ++l) {
    std::vector<std::size_t>& sources = e.sources[l];
    for (std::size_t i = 0; i < e.reads.size(); ++i) {
      if (valueChanges[i].count(l) != 0) sources.push_back(i);
    }
    if (sources.empty() && startValues.count(e.block[l]) == 0) {
      std::size_t fewest = kFewLines + 1;
      for (std::size_t i = 0; i < e.reads.size(); ++i) {
        if (allChanges[i].count(l) != 0) fewest = std::min(fewest, allChanges[i].size());
      }
      for (std::size_t i = 0; i < e.reads.size(); ++i) {
        if (allChanges[i].count(l) != 0 && allChanges[i].size() == fewest) sources.push_back(i);
      }
    }
    e.lineSources[l] = !sources.empty()                     ? LineSource::kReads
                       : startValues.count(e.block[l]) != 0 ? LineSource::kStartValue
                                                            : LineSource::kNotTraced;
    for (const std::size_t i : sources)
      e.reads[i].block.push_back(l);
  }
}

}  // namespace tvx::tool
