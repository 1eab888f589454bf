#include "picture_format.h"

#include <cstdint>

namespace tvx::core {

namespace {

std::uint32_t Word(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint8_t>(bytes[at]) | (static_cast<std::uint8_t>(bytes[at + 1]) << 8);
}

std::uint32_t Dword(std::string_view bytes, std::size_t at) {
  return Word(bytes, at) | (Word(bytes, at + 2) << 16);
}

}  // namespace

std::string_view PictureExtension(std::string_view bytes) {
  using namespace std::string_view_literals;
  if (bytes.starts_with("GIF87a"sv) || bytes.starts_with("GIF89a"sv)) return "gif";
  if (bytes.starts_with("\xFF\xD8\xFF"sv)) return "jpg";
  if (bytes.starts_with("\xD7\xCD\xC6\x9A"sv)) return "wmf";  // the placeable header's key
  if (bytes.size() >= 14 && bytes.starts_with("BM"sv)) return "bmp";
  if (bytes.size() >= 6 && Word(bytes, 0) == 0 && Word(bytes, 4) > 0) {
    // An icon directory: reserved 0, type 1 (icon) or 2 (cursor), at least one image.
    if (Word(bytes, 2) == 1) return "ico";
    if (Word(bytes, 2) == 2) return "cur";
  }
  // A metafile's own header: in memory (1) or on disk (2), nine words long, version 1 or 3.
  if (bytes.size() >= 18 && (Word(bytes, 0) == 1 || Word(bytes, 0) == 2) && Word(bytes, 2) == 9 &&
      (Word(bytes, 4) == 0x0100 || Word(bytes, 4) == 0x0300)) {
    return "wmf";
  }
  // An enhanced metafile: its header record (type 1) with the signature " EMF" at 40.
  if (bytes.size() >= 44 && Dword(bytes, 0) == 1 && Dword(bytes, 40) == 0x464D4520) return "emf";
  return "bin";
}

}  // namespace tvx::core
