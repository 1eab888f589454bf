#include "tvx/font.h"

namespace tvx {

void WriteFontGroup(BlockWriter& out, const PropertyDef& group, const FontRecord& font,
                    const FontGroupStyle& style) {
  out.BeginGroup(group, style.indent, style.width, font.record);
  out.Quoted(*style.name, font.Name);
  if (font.Size.Held() || !style.unreadSizeEmpty) {
    out.Number(font::kSize, Read<double>(font.Size.value / 10000.0, font.Size.from));
  } else {
    out.Shown(font::kSize, "", {}, {});
  }
  out.Number(*style.charset, font.Charset);
  out.Number(font::kWeight, font.Weight);
  out.Flag(font::kUnderline, font.Underline, style.trueText, style.falseText);
  out.Flag(font::kItalic, font.Italic, style.trueText, style.falseText);
  out.Flag(font::kStrikethrough, font.Strikethrough, style.trueText, style.falseText);
  out.EndGroup();
}

std::array<PropertyEntry, 8> FontGroupEntries(const PropertyDef& group,
                                              const FontGroupStyle& style) {
  return {{{&group},
           {style.name, &group},
           {&font::kSize, &group},
           {style.charset, &group},
           {&font::kWeight, &group},
           {&font::kUnderline, &group},
           {&font::kItalic, &group},
           {&font::kStrikethrough, &group}}};
}

}  // namespace tvx
