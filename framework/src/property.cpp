#include "tvx/property.h"

#include <algorithm>

namespace tvx {

void Source::Add(ByteRange range) {
  if (count_ > 0) {
    ByteRange& last = ranges_[count_ - 1];
    const double lastEnd = last.position + static_cast<double>(last.size);
    if (range.position == lastEnd) {
      last.size += range.size;
      return;
    }
    if (count_ == kMost) {
      // No room for another range: the last one grows to cover it.
      const double end = std::max(lastEnd, range.position + static_cast<double>(range.size));
      last.position = std::min(last.position, range.position);
      last.size = static_cast<std::uint64_t>(end - last.position);
      return;
    }
  }
  ranges_[count_++] = range;
}

std::vector<PropertyEntry> JoinedEntries(
    std::initializer_list<std::span<const PropertyEntry>> parts) {
  std::vector<PropertyEntry> all;
  for (const std::span<const PropertyEntry> part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::optional<std::string_view> ConstantName(const PropertyDef& def, std::int64_t value) {
  for (const Constant& c : def.constants) {
    if (c.value == value) return c.name;
  }
  return std::nullopt;
}

}  // namespace tvx
