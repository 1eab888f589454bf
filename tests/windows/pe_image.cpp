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

// A UTF-16 text of ASCII characters, up to its NUL, as bytes; `end` is set past the NUL.
std::string Utf16Text(const Bytes& b, std::uint64_t at, std::uint64_t limit, std::uint64_t& end) {
  std::string text;
  for (; at + 2 <= limit; at += 2) {
    const std::uint64_t unit = b.Get(at, 2);
    if (unit == 0) break;
    text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
  }
  end = at + 2;
  return text;
}

std::uint64_t Align4(std::uint64_t at) {
  return (at + 3) & ~std::uint64_t{3};
}

// One node of a version resource (VS_VERSIONINFO, StringFileInfo, a string table or a String:
// length, value length, type, key, value, children) and, below it, every String's key and value.
void ReadVersionNode(const Bytes& b, std::uint64_t at, std::uint64_t limit, int depth,
                     PeImage& image) {
  const std::uint64_t length = b.Get(at, 2);
  const std::uint64_t valueLength = b.Get(at + 2, 2);
  const bool text = b.Get(at + 4, 2) == 1;
  const std::uint64_t end = std::min(at + length, limit);
  if (length < 6 || depth > 4 || !b.ok()) return;
  std::uint64_t keyEnd = 0;
  const std::string key = Utf16Text(b, at + 6, end, keyEnd);
  const std::uint64_t value = Align4(keyEnd);
  if (depth == 0 && valueLength >= 16 && b.Get(value, 4) == 0xFEEF04BD) {
    image.hasVersion = true;
    const std::uint64_t high = b.Get(value + 8, 4), low = b.Get(value + 12, 4);
    image.fileVersion[0] = static_cast<std::uint16_t>(high >> 16);
    image.fileVersion[1] = static_cast<std::uint16_t>(high);
    image.fileVersion[2] = static_cast<std::uint16_t>(low >> 16);
    image.fileVersion[3] = static_cast<std::uint16_t>(low);
  }
  if (depth == 3) {  // VS_VERSIONINFO > StringFileInfo > string table > String
    std::uint64_t ignored = 0;
    if (text && !image.versionTexts.count(key)) {
      image.versionTexts[key] = Utf16Text(b, value, end, ignored);
    }
    return;
  }
  if (depth == 1 && key != "StringFileInfo") return;
  const std::uint64_t valueBytes = text ? valueLength * 2 : valueLength;
  for (std::uint64_t child = Align4(value + valueBytes); child + 6 <= end && b.ok();) {
    const std::uint64_t childLength = b.Get(child, 2);
    if (childLength == 0) break;
    ReadVersionNode(b, child, end, depth + 1, image);
    child = Align4(child + childLength);
  }
}

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
  const bool wide = image.optionalMagic == 0x20B;  // PE32+: 64-bit fields and thunks
  if (!wide && image.optionalMagic != 0x10B) return b.ok() ? std::optional(image) : std::nullopt;
  image.subsystemMajor = static_cast<std::uint16_t>(b.Get(optional + 48, 2));
  image.subsystemMinor = static_cast<std::uint16_t>(b.Get(optional + 50, 2));
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
  // The data directories: 1 the imports, 2 the resources.
  const std::uint64_t directoryCount = b.Get(optional + (wide ? 108 : 92), 4);
  const auto directory = [&](std::uint64_t index) -> std::uint64_t {
    return index < directoryCount ? b.Get(optional + (wide ? 112 : 96) + index * 8, 4) : 0;
  };

  const std::uint64_t thunkSize = wide ? 8 : 4;
  const std::uint64_t ordinalBit = std::uint64_t{1} << (thunkSize * 8 - 1);
  if (const std::uint64_t importRva = directory(1); importRva != 0) {
    for (std::uint64_t d = fileOffset(importRva); b.ok(); d += 20) {
      const std::uint64_t lookup = b.Get(d, 4);
      const std::uint64_t nameRva = b.Get(d + 12, 4);
      const std::uint64_t thunks = b.Get(d + 16, 4);
      if (nameRva == 0 && thunks == 0) break;  // the closing all-zero descriptor
      std::string dll = b.CString(fileOffset(nameRva));
      std::transform(dll.begin(), dll.end(), dll.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      std::vector<std::string>& functions = image.imports[dll];
      for (std::uint64_t t = fileOffset(lookup != 0 ? lookup : thunks); b.ok(); t += thunkSize) {
        const std::uint64_t entry = b.Get(t, static_cast<int>(thunkSize));
        if (entry == 0) break;
        if (entry & ordinalBit) {
          functions.push_back("#" + std::to_string(entry & 0xFFFF));
        } else {
          functions.push_back(b.CString(fileOffset(entry & 0x7FFFFFFF) + 2));  // after the hint
        }
      }
    }
  }

  // The resource tree: type, name, language. The version resource is type 16, its first name
  // and language.
  if (const std::uint64_t resourceRva = directory(2); resourceRva != 0 && b.ok()) {
    const std::uint64_t root = fileOffset(resourceRva);
    const auto find = [&](std::uint64_t dir, std::uint64_t id, bool any) -> std::uint64_t {
      const std::uint64_t named = b.Get(dir + 12, 2), ids = b.Get(dir + 14, 2);
      for (std::uint64_t i = 0; i < named + ids && b.ok(); ++i) {
        const std::uint64_t entry = dir + 16 + i * 8;
        if (any || b.Get(entry, 4) == id) return b.Get(entry + 4, 4);
      }
      return 0;
    };
    const std::uint64_t type = find(root, 16, false);
    const std::uint64_t name = type & 0x80000000 ? find(root + (type & 0x7FFFFFFF), 0, true) : 0;
    const std::uint64_t language =
        name & 0x80000000 ? find(root + (name & 0x7FFFFFFF), 0, true) : 0;
    if (language != 0 && !(language & 0x80000000)) {
      const std::uint64_t data = fileOffset(b.Get(root + language, 4));
      const std::uint64_t size = b.Get(root + language + 4, 4);
      if (b.Has(data, size)) ReadVersionNode(b, data, data + size, 0, image);
    }
  }
  if (!b.ok()) return std::nullopt;
  return image;
}

}  // namespace tvx::testing
