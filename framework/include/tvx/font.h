// The persisted font record some controls keep, and the block's font group made from it. The
// record: a version byte, the character set's two bytes (offsets 1 and 2), an attribute byte
// (offset 3: bit 0x02 italic, 0x04 underline, 0x08 strikethrough), the weight (a word), the size
// in points x 10000 (a long), a length byte and as many bytes of face name. Each control reads
// and lists the record its own way; what the block writes of it is shared.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tvx/output.h"
#include "tvx/property.h"

namespace tvx {

// One font record's values as read; each stays unread (and empty in the block where the style
// says so) until the stream holds it.
struct FontRecord {
  Read<std::string> Name;
  Read<std::uint32_t> Size;  // points x 10000
  Read<std::uint16_t> Weight;
  Read<unsigned> Charset;
  Read<bool> Underline, Italic, Strikethrough;
  Source record;  // the record's bytes
};

// The members of a font group, in the group's order after Name.
namespace font {
inline constexpr PropertyDef kName = {"Name",
                                      PropertyType::kText,
                                      {},
                                      "the face name",
                                      "font record offset 11: as many bytes as offset 10 says"};
inline constexpr PropertyDef kSize = {"Size",
                                      PropertyType::kFloat,
                                      {},
                                      "the size in points",
                                      "font record offset 6: a long, points x 10000"};
inline constexpr PropertyDef kCharset = {
    "Charset", PropertyType::kInteger, {}, "the character set", "font record offset 1: two bytes"};
inline constexpr PropertyDef kWeight = {
    "Weight", PropertyType::kInteger, {}, "400 normal, 700 bold", "font record offset 4: a word"};
inline constexpr PropertyDef kUnderline = {
    "Underline", PropertyType::kBoolean, {}, "underlined", "font record offset 3: bit 0x04"};
inline constexpr PropertyDef kItalic = {
    "Italic", PropertyType::kBoolean, {}, "italic", "font record offset 3: bit 0x02"};
inline constexpr PropertyDef kStrikethrough = {"Strikethrough",
                                               PropertyType::kBoolean,
                                               {},
                                               "struck through",
                                               "font record offset 3: bit 0x08"};
}  // namespace font

// How a control writes its font groups.
struct FontGroupStyle {
  std::size_t indent;                    // blanks before each member's label
  std::size_t width;                     // the members' labels are padded to it
  std::string_view trueText, falseText;  // Underline, Italic and Strikethrough
  bool unreadSizeEmpty;                  // Size of a record never read: empty, else 0
  // Where the control describes Name and Charset in its own words.
  const PropertyDef* name = &font::kName;
  const PropertyDef* charset = &font::kCharset;
};

// "BeginProperty " + the group's name, then Name, Size, Charset, Weight, Underline, Italic and
// Strikethrough, then "EndProperty".
void WriteFontGroup(BlockWriter& out, const PropertyDef& group, const FontRecord& font,
                    const FontGroupStyle& style);

// The group's entry and its members', as WriteFontGroup writes them.
std::array<PropertyEntry, 8> FontGroupEntries(const PropertyDef& group,
                                              const FontGroupStyle& style);

}  // namespace tvx
