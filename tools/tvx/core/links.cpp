#include "links.h"

#include <algorithm>

namespace tvx::core {

BlockLinker::BlockLinker(const DecodedRecord& record) : links_(record.blockLines.size()) {
  for (std::size_t line = 0; line < record.blockLines.size(); ++line) {
    const BlockLineInfo& info = record.blockLines[line];
    links_[line].source = LineSource::kStartValue;
    if (!info.property) continue;
    const Property& p = record.properties[*info.property];
    if (!p.bytes.empty()) links_[line].source = LineSource::kNotTraced;
    for (const ByteSpan& b : p.bytes)
      spans_.push_back({b.position, b.position + b.size, line});
  }
  std::stable_sort(spans_.begin(), spans_.end(),
                   [](const Span& a, const Span& b) { return a.begin < b.begin; });
  Position reach = 0;
  for (const Span& s : spans_) {
    reach = std::max(reach, s.end);
    reach_.push_back(reach);
  }
}

std::vector<std::size_t> BlockLinker::Feed(Position position, std::uint64_t size) {
  std::vector<std::size_t> lines;
  const Position end = position + size;
  // The spans that begin before the value ends (at it, for a value of no bytes) and end after
  // it begins: from the last that begins in time, back while an earlier one may reach it.
  const auto after = std::upper_bound(spans_.begin(), spans_.end(), size == 0 ? position : end - 1,
                                      [](Position p, const Span& s) { return p < s.begin; });
  for (std::size_t i = static_cast<std::size_t>(after - spans_.begin()); i-- > 0;) {
    if (reach_[i] <= position && !(size == 0 && reach_[i] == position)) break;
    const Span& s = spans_[i];
    const bool overlaps = size == 0 ? (s.begin == position && s.end == position)
                                    : (s.end > s.begin && s.end > position && s.begin < end);
    if (overlaps) lines.push_back(s.line);
  }
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  for (const std::size_t line : lines) {
    LineLink& link = links_[line];
    link.source = LineSource::kValues;
    if (link.from.empty() || link.from.back() != position) link.from.push_back(position);
  }
  return lines;
}

std::vector<LineLink> BlockLinker::Links() const {
  return links_;
}

}  // namespace tvx::core
