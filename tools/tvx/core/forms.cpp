#include "forms.h"

namespace tvx::core {

namespace {

bool IsLetterOrHigh(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
}

bool IsFormNameChar(unsigned char c) {
  return IsLetterOrHigh(c) || (c >= '0' && c <= '9') || c == '_';
}

std::uint32_t Long(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
}

}  // namespace

std::string_view FormKindName(std::uint8_t kind) {
  switch (kind) {
    case kFormKind:
      return "form";
    case kMdiFormKind:
      return "MDI form";
    default:
      return "";
  }
}

std::string_view FormTroubleWords(FormTrouble trouble) {
  switch (trouble) {
    case FormTrouble::kNone:
      return "";
    case FormTrouble::kOverlaps:
      return "it overlaps another image";
    case FormTrouble::kPastEnd:
      return "its size runs past the end of the file";
    case FormTrouble::kHeldLong:
      return "more records waited on it than a scan holds";
  }
  return "";
}

bool ConfirmForm(const std::uint8_t* bytes, std::size_t pair, std::uint64_t base,
                 FormHeader* header) {
  // The name: the whole run of name bytes before the pair (the word's high byte, 0, ends it).
  std::size_t start = pair;
  while (start > 0 && pair - start < 255 && IsFormNameChar(bytes[start - 1]))
    --start;
  const std::size_t n = pair - start;
  constexpr std::size_t kBefore = 4 + 4 + 1 + 2;  // the longs, the 00, the word
  if (n == 0 || start < kBefore || !IsLetterOrHigh(bytes[start]) || bytes[start - 1] != 0 ||
      bytes[start - 2] != n || bytes[start - 3] != 0) {
    return false;
  }
  const std::size_t at = start - kBefore;
  const std::uint32_t size = Long(bytes + at);
  // What follows the size long up to the kind byte, and the kind byte.
  if (size < 4 + 1 + 2 + n + 1 + 1) return false;
  header->image.name.assign(reinterpret_cast<const char*>(bytes + start), n);
  header->image.kind = bytes[pair + 1];
  header->image.offset = base + at;
  header->image.size = std::uint64_t{size} + 4;
  header->pair = base + pair;
  header->headerEnd = base + pair + 2;
  return true;
}

}  // namespace tvx::core
