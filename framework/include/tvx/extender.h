// The stream frame every control shares: section A (code records up to code 45), the control
// block (the decoder's own), section B (code records up to code 255), and the extender property
// codes the form engine keeps on each control's behalf.
#pragma once

#include <bitset>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "tvx/decoder.h"

namespace tvx {

inline constexpr int kEndOfSectionA = 45;
inline constexpr int kEndOfSectionB = 255;
inline constexpr std::string_view kUnexpectedEnd = "Unexpected end of file";

// How one deliverable knows and renders the extender codes.
struct ExtenderProfile {
  std::bitset<256> sectionA = {};       // codes known in section A
  std::bitset<256> sectionB = {};       // codes known in section B
  std::string_view falseText = {};      // stored for Visible, TabStop, CausesValidation
  std::string_view automaticText = {};  // stored for DragMode
  std::string_view dragModeLine = {};   // listing line of DragMode
  bool quoteListingTexts = false;       // Tag, DataMember, DataField, DataSource, ToolTipText
  bool tabIndexSigned16 = false;        // TabIndex stored as a 16-bit signed integer
  std::string_view stopLine = {};       // empty: unknown section B codes are skipped
};

std::bitset<256> Codes(std::initializer_list<int> codes);

// The extender properties, each at its absent value until the stream holds it.
struct ExtenderProperties {
  double Index = -1;
  double Left = -1;
  double Top = -1;
  double Width = -1;
  double Height = -1;
  double TabIndex = -1;
  double HelpContextID = -1;
  double WhatsThisHelpID = -1;
  std::string Visible;
  std::string DragMode;
  std::string DragIcon;
  std::string Tag;
  std::string TabStop;
  std::string DataMember;
  std::string DataField;
  std::string DataSource;
  std::string CausesValidation;
  std::string ToolTipText;
  std::string Align;
  std::string Negotiate;
};

enum class SectionEnd {
  kEndCode,     // the section's end code was read
  kEndOfInput,  // the next code would have been read past the end of the file
  kParseError,  // an unknown section B code; the stop line was written
};

// Reads section A from the current position up to and including code 45. `dataFormat` handles
// code 41 where the deliverable knows it.
SectionEnd ReadSectionA(DecodeContext& ctx, const ExtenderProfile& profile,
                        ExtenderProperties& props,
                        const std::function<void()>& dataFormat = nullptr);

// Reads section B from the current position up to and including code 255.
SectionEnd ReadSectionB(DecodeContext& ctx, const ExtenderProfile& profile,
                        ExtenderProperties& props);

// Reads the next code byte of a section, or writes "Unexpected end of file" and returns -1
// when the position is past the last byte of the file.
int NextCode(DecodeContext& ctx);

}  // namespace tvx
