#include "pe_image.h"

#include <algorithm>
#include <cctype>

namespace tvx::testing {

namespace {

// Little-endian fields of a byte string, every read checked against its end.
class Bytes {
 public:
  explicit Bytes(const std::string& bytes) : b_(bytes) {}
  bool Has(std::uint64_t at, std::uint64_t n) const {
    return at <= b_.size() && n <= b_.size() - at;
  }
  std::uint64_t Get(std::uint64_t at, int n) const {
    if (!Has(at, static_cast<std::uint64_t>(n))) {
      ok_ = false;
      return 0;
    }
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i)
      v = (v << 8) | static_cast<unsigned char>(b_[at + i]);
    return v;
  }
  std::string CString(std::uint64_t at) const {
    if (!Has(at, 1)) {
      ok_ = false;
      return {};
    }
    const std::size_t end = b_.find('\0', at);
    if (end == std::string::npos) {
      ok_ = false;
      return {};
    }
    return b_.substr(at, end - at);
  }
  bool ok() const { return ok_; }

 private:
  const std::string& b_;
  mutable bool ok_ = true;
};

struct Section {
  std::uint64_t address, size, rawOffset, rawSize;
};

}  // namespace

std::optional<PeImage> ParsePeImage(const std::string& bytes) {
  const Bytes b(bytes);
  if (b.Get(0, 2) != 0x5A4D) return std::nullopt;  // "MZ"
  const std::uint64_t pe = b.Get(0x3C, 4);
  if (b.Get(pe, 4) != 0x4550) return std::nullopt;  // "PE\0\0"
  PeImage image;
  image.machine = static_cast<std::uint16_t>(b.Get(pe + 4, 2));
  const std::uint64_t sectionCount = b.Get(pe + 6, 2);
  const std::uint64_t optionalSize = b.Get(pe + 20, 2);
  const std::uint64_t optional = pe + 24;
  image.optionalMagic = static_cast<std::uint16_t>(b.Get(optional, 2));
  if (image.optionalMagic != 0x20B) return b.ok() ? std::optional(image) : std::nullopt;
  image.subsystem = static_cast<std::uint16_t>(b.Get(optional + 68, 2));

  std::vector<Section> sections;
  for (std::uint64_t i = 0; i < sectionCount; ++i) {
    const std::uint64_t s = optional + optionalSize + i * 40;
    sections.push_back({b.Get(s + 12, 4), b.Get(s + 8, 4), b.Get(s + 20, 4), b.Get(s + 16, 4)});
  }
  const auto fileOffset = [&](std::uint64_t rva) -> std::uint64_t {
    for (const Section& s : sections) {
      if (rva >= s.address && rva < s.address + std::max(s.size, s.rawSize)) {
        return s.rawOffset + (rva - s.address);
      }
    }
    return bytes.size();  // outside every section: reads there fail
  };

  if (b.Get(optional + 108, 4) < 2) return b.ok() ? std::optional(image) : std::nullopt;
  const std::uint64_t importRva = b.Get(optional + 112 + 8, 4);
  if (importRva == 0) return b.ok() ? std::optional(image) : std::nullopt;
  for (std::uint64_t d = fileOffset(importRva); b.ok(); d += 20) {
    const std::uint64_t lookup = b.Get(d, 4);
    const std::uint64_t nameRva = b.Get(d + 12, 4);
    const std::uint64_t thunks = b.Get(d + 16, 4);
    if (nameRva == 0 && thunks == 0) break;  // the closing all-zero descriptor
    std::string dll = b.CString(fileOffset(nameRva));
    std::transform(dll.begin(), dll.end(), dll.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::vector<std::string>& functions = image.imports[dll];
    for (std::uint64_t t = fileOffset(lookup != 0 ? lookup : thunks); b.ok(); t += 8) {
      const std::uint64_t entry = b.Get(t, 8);
      if (entry == 0) break;
      if (entry >> 63) {
        functions.push_back("#" + std::to_string(entry & 0xFFFF));
      } else {
        functions.push_back(b.CString(fileOffset(entry & 0x7FFFFFFF) + 2));  // after the hint
      }
    }
  }
  if (!b.ok()) return std::nullopt;
  return image;
}

}  // namespace tvx::testing
