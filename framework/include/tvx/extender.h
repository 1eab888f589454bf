// The stream frame every control shares: section A (code records up to code 45), the control
// block (the decoder's own), section B (code records up to code 255), and the extender property
// codes the form engine keeps on each control's behalf.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "tvx/decoder.h"

namespace tvx {

inline constexpr int kEndOfSectionA = 45;
inline constexpr int kEndOfSectionB = 255;
inline constexpr std::string_view kUnexpectedEnd = "Unexpected end of file";

// Every extender code a deliverable can know. Codes below 45 belong to section A, codes above
// it to section B. What each one holds and how it is listed is in extender.cpp, where it is read.
enum class ExtenderCode : std::uint8_t {
  kIndex = 1,
  kPositionAndSize = 3,
  kVisible = 7,
  kDragMode = 9,
  kDragIcon = 10,
  kTag = 11,
  kTabStop = 14,
  kTabIndex = 15,
  kDataFormat = 41,  // known only to a decoder that reads the DataFormat sub-record
  kDataMember = 42,
  kHelpContextID = 50,
  kLeft = 57,
  kTop = 58,
  kAlign = 59,
  kNegotiate = 60,
  kDataField = 66,
  kDataSource = 67,
  kPassedOver = 68,  // a record read and discarded
  kWhatsThisHelpID = 70,
  kCausesValidation = 72,
  kToolTipText = 74,
};

// The property a code stands for, or what it does ("end of section A"); empty for a code that
// is not an extender code.
std::string_view ExtenderCodeName(int code);

// The codes a deliverable knows in one section.
class CodeSet {
 public:
  constexpr CodeSet() = default;
  // Fails to compile when a code belongs to the other section, or is DataFormat, which a
  // decoder enables by reading it (ReadFrame).
  consteval CodeSet(bool sectionB, std::initializer_list<ExtenderCode> codes) {
    for (const ExtenderCode code : codes) {
      const auto c = static_cast<int>(code);
      if (code == ExtenderCode::kDataFormat || (c > kEndOfSectionA) != sectionB) {
        throw "an extender code of the other section, or DataFormat";
      }
      bits_[c / 64] |= std::uint64_t{1} << (c % 64);
    }
  }
  constexpr bool Has(int code) const {
    return code >= 0 && code < 256 && ((bits_[code / 64] >> (code % 64)) & 1) != 0;
  }

 private:
  std::uint64_t bits_[4] = {};
};

consteval CodeSet SectionA(std::initializer_list<ExtenderCode> codes) {
  return CodeSet(false, codes);
}
consteval CodeSet SectionB(std::initializer_list<ExtenderCode> codes) {
  return CodeSet(true, codes);
}

// How one deliverable knows and renders the extender codes.
struct ExtenderProfile {
  CodeSet sectionA;                     // codes known in section A
  CodeSet sectionB;                     // codes known in section B
  std::string_view falseText = {};      // stored for Visible, TabStop, CausesValidation
  std::string_view automaticText = {};  // stored for DragMode
  std::string_view dragModeLine = {};   // listing line of DragMode
  bool quoteListingTexts = false;       // Tag, DataMember, DataField, DataSource, ToolTipText
  bool tabIndexSigned16 = false;        // TabIndex stored as a 16-bit signed integer
  std::string_view stopLine = {};       // empty: unknown section B codes are skipped
};

// The profile of a control that keeps only Index and Tag in section A and Left and Top, as
// longs, in section B; an unknown section B code writes `stopLine`.
consteval ExtenderProfile IndexTagLeftTop(std::string_view stopLine) {
  return {.sectionA = SectionA({ExtenderCode::kIndex, ExtenderCode::kTag}),
          .sectionB = SectionB({ExtenderCode::kLeft, ExtenderCode::kTop}),
          .stopLine = stopLine};
}

// The extender properties, each at its absent value (-1, or the empty text) until the stream
// holds it.
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

// The block lines of IndexTagLeftTop's properties: Index, Left, Tag, Top, each where present.
void WriteIndexLeftTagTop(BlockWriter& out, const ExtenderProperties& props);

// The block lines of a visible control's extender properties, in the order of their labels:
// CausesValidation, then `dataLines` where given (the data-binding lines), then DragIcon,
// DragMode, Height, HelpContextID, Index, Left, TabIndex, TabStop, Tag, ToolTipText, Top,
// Visible, WhatsThisHelpID and Width. Height, Left, TabIndex, Top and Width are always written.
void WriteVisibleControl(BlockWriter& out, const ExtenderProperties& props,
                         const std::function<void()>& dataLines = nullptr);

// The start of some control blocks: a 16-byte header, the extent (two longs), a long not
// interpreted and the control's version number.
struct ExtentAndVersion {
  std::uint32_t ExtentX = 0;
  std::uint32_t ExtentY = 0;
  std::string Version;  // the number as text
};
void ReadExtentAndVersion(DecodeContext& ctx, ExtentAndVersion& value);
// Its block lines: _ExtentX, _ExtentY, _Version.
void WriteExtentAndVersion(BlockWriter& out, const ExtentAndVersion& value);

// Section A from the current position up to and including code 45. `dataFormat`, where given,
// reads code 41.
DecodeEnd ReadSectionA(DecodeContext& ctx, const ExtenderProfile& profile,
                       ExtenderProperties& props,
                       const std::function<void()>& dataFormat = nullptr);

// Section B from the current position up to and including code 255.
DecodeEnd ReadSectionB(DecodeContext& ctx, const ExtenderProfile& profile,
                       ExtenderProperties& props);

// The whole frame from the current position: section A, then `controlBlock` (when section A
// ended with its end code), then section B. `dataFormat`, where given, reads code 41 in
// section A. Returns how the frame ended.
DecodeEnd ReadFrame(DecodeContext& ctx, const ExtenderProfile& profile, ExtenderProperties& props,
                    const std::function<void()>& controlBlock,
                    const std::function<void()>& dataFormat = nullptr);

}  // namespace tvx
