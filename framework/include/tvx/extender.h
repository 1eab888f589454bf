// The stream frame every control shares: section A (code records up to code 45), the control
// block (the decoder's own), section B (code records up to code 255), and the extender property
// codes the form engine keeps on each control's behalf.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tvx/decoder.h"
#include "tvx/property.h"

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
  bool quotePictureName = false;        // DragIcon's block value between double quotes
};

// The profile of a control that keeps only Index and Tag in section A and Left and Top, as
// longs, in section B; an unknown section B code writes `stopLine`.
consteval ExtenderProfile IndexTagLeftTop(std::string_view stopLine) {
  return {.sectionA = SectionA({ExtenderCode::kIndex, ExtenderCode::kTag}),
          .sectionB = SectionB({ExtenderCode::kLeft, ExtenderCode::kTop}),
          .stopLine = stopLine};
}

// What each extender property is: one definition each, for the block lines and the typed data.
namespace extender {

inline constexpr Constant kDragModeConstants[] = {{0, "vbManual"}, {1, "vbAutomatic"}};
inline constexpr Constant kAlignConstants[] = {{0, "vbAlignNone"},
                                               {1, "vbAlignTop"},
                                               {2, "vbAlignBottom"},
                                               {3, "vbAlignLeft"},
                                               {4, "vbAlignRight"}};

inline constexpr PropertyDef kIndex = {"Index",
                                       PropertyType::kInteger,
                                       {},
                                       "the control's index in its control array",
                                       "section A, code 1: a word"};
inline constexpr PropertyDef kLeft = {
    "Left",
    PropertyType::kInteger,
    {},
    "distance from the container's left edge",
    "section A, code 3 (four signed words, or after the word 0x8000 four signed longs: Left, "
    "Top, Width, Height), or section B, code 57: a signed long"};
inline constexpr PropertyDef kTop = {
    "Top",
    PropertyType::kInteger,
    {},
    "distance from the container's top edge",
    "section A, code 3 (the second of its four numbers), or section B, code 58: a signed long"};
inline constexpr PropertyDef kWidth = {"Width",
                                       PropertyType::kInteger,
                                       {},
                                       "the control's width",
                                       "section A, code 3 (the third of its four numbers)"};
inline constexpr PropertyDef kHeight = {"Height",
                                        PropertyType::kInteger,
                                        {},
                                        "the control's height",
                                        "section A, code 3 (the fourth of its four numbers)"};
inline constexpr PropertyDef kVisible = {
    "Visible",
    PropertyType::kBoolean,
    {},
    "whether the control shows; written only when False",
    "section A, code 7: a byte, not looked at (the code alone means False)"};
inline constexpr PropertyDef kDragMode = {
    "DragMode", PropertyType::kEnumerated, kDragModeConstants,
    "whether dragging starts by itself; written only when automatic",
    "section A, code 9: a byte, not looked at (the code alone means 1, automatic)"};
inline constexpr PropertyDef kDragIcon = {
    "DragIcon",
    PropertyType::kPicture,
    {},
    "the icon shown while the control is dragged",
    "section A, code 10: a picture record (a long length, 8 header bytes, length - 8 bytes of "
    "image), written to the picture file"};
inline constexpr PropertyDef kTag = {
    "Tag",
    PropertyType::kText,
    {},
    "free text for the program's own use",
    "section A, code 11: a word count of UTF-16 units, then the units (the low byte of each)"};
inline constexpr PropertyDef kTabStop = {
    "TabStop",
    PropertyType::kBoolean,
    {},
    "whether Tab reaches the control; written only when False",
    "section A, code 14: a byte, not looked at (the code alone means False)"};
inline constexpr PropertyDef kTabIndex = {
    "TabIndex",
    PropertyType::kInteger,
    {},
    "the control's place in the Tab order",
    "section A, code 15: a word (a signed 16-bit number where the control keeps it so)"};
inline constexpr PropertyDef kDataMember = {
    "DataMember",
    PropertyType::kText,
    {},
    "the data member the control is bound to",
    "section A, code 42: a word, not used, then a zero-terminated text"};
inline constexpr PropertyDef kHelpContextID = {"HelpContextID",
                                               PropertyType::kInteger,
                                               {},
                                               "the help topic of the control",
                                               "section B, code 50: a long"};
inline constexpr PropertyDef kAlign = {
    "Align", PropertyType::kEnumerated, kAlignConstants,
    "the edge of the form the control keeps to",
    "section B, code 59: a byte (1 to 4; any other byte is written as 0)"};
inline constexpr PropertyDef kNegotiate = {
    "Negotiate",
    PropertyType::kBoolean,
    {},
    "whether the control shares the form's edge with a menu's tools; written only when True",
    "section B, code 60: a byte, not looked at (the code alone means True)"};
inline constexpr PropertyDef kDataField = {
    "DataField",
    PropertyType::kText,
    {},
    "the field the control is bound to",
    "section B, code 66: a word, not used, then a zero-terminated text"};
inline constexpr PropertyDef kDataSource = {
    "DataSource",
    PropertyType::kText,
    {},
    "the data control the control is bound to",
    "section B, code 67: a word, not used, then a zero-terminated text"};
inline constexpr PropertyDef kWhatsThisHelpID = {"WhatsThisHelpID",
                                                 PropertyType::kInteger,
                                                 {},
                                                 "the What's This help topic of the control",
                                                 "section B, code 70: a long"};
inline constexpr PropertyDef kCausesValidation = {
    "CausesValidation",
    PropertyType::kBoolean,
    {},
    "whether focus moving to the control validates the one it leaves; written only when False",
    "section B, code 72: a byte, not looked at (the code alone means False)"};
inline constexpr PropertyDef kToolTipText = {
    "ToolTipText",
    PropertyType::kText,
    {},
    "the text shown when the pointer rests on the control",
    "section B, code 74: a word, not used, then a zero-terminated text"};

}  // namespace extender

// The extender properties, each at its absent value (-1, or the empty text) until the stream
// holds it. The presence flags hold only the bytes of their code and value, of every time the
// stream holds the code: their value is the code's own (Visible False, DragMode automatic, ...),
// written in the profile's words.
struct ExtenderProperties {
  const ExtenderProfile* profile = nullptr;  // the profile the stream was read with
  Read<double> Index = -1;
  Read<double> Left = -1;
  Read<double> Top = -1;
  Read<double> Width = -1;
  Read<double> Height = -1;
  Read<double> TabIndex = -1;
  double TabIndexWord = -1;  // the word TabIndex was read from
  Read<double> HelpContextID = -1;
  Read<double> WhatsThisHelpID = -1;
  Source Visible, DragMode, DragIcon, TabStop, CausesValidation, Negotiate;
  Read<std::uint8_t> Align;  // the byte as read
  Read<std::string> Tag;
  Read<std::string> DataMember;
  Read<std::string> DataField;
  Read<std::string> DataSource;
  Read<std::string> ToolTipText;
};

// One extender property's line, where the stream held it: a number other than its absent -1, a
// text not empty, a presence flag (Visible, DragMode, TabStop, CausesValidation, Negotiate) whose
// code came, DragIcon, Align. TabIndex, which is always written, is not one of them.
void WriteIfHeld(BlockWriter& out, const ExtenderProperties& props, const PropertyDef& def);
// WriteIfHeld of each entry's property, in order.
void WriteEachIfHeld(BlockWriter& out, const ExtenderProperties& props,
                     std::span<const PropertyEntry> entries);

// The block lines of IndexTagLeftTop's properties: Index, Left, Tag, Top, each where present.
inline constexpr PropertyEntry kIndexLeftTagTop[] = {
    {&extender::kIndex}, {&extender::kLeft}, {&extender::kTag}, {&extender::kTop}};
void WriteIndexLeftTagTop(BlockWriter& out, const ExtenderProperties& props);

// The block lines of a visible control's extender properties, in the order of their labels:
// CausesValidation, then `dataLines` where given (the data-binding lines), then DragIcon,
// DragMode, Height, HelpContextID, Index, Left, TabIndex, TabStop, Tag, ToolTipText, Top,
// Visible, WhatsThisHelpID and Width. Height, Left, TabIndex, Top and Width are always written.
void WriteVisibleControl(BlockWriter& out, const ExtenderProperties& props,
                         const std::function<void()>& dataLines = nullptr);
// The entries of WriteVisibleControl's lines, with those of `dataLines`.
std::vector<PropertyEntry> VisibleControlEntries(std::span<const PropertyEntry> dataEntries = {});

// The start of some control blocks: a 16-byte header, the extent (two longs), a long not
// interpreted and the control's version number.
struct ExtentAndVersion {
  Read<std::uint32_t> ExtentX;
  Read<std::uint32_t> ExtentY;
  Read<std::uint32_t> Version;
};
namespace extent {
inline constexpr PropertyDef kExtentX = {"_ExtentX",
                                         PropertyType::kInteger,
                                         {},
                                         "the control's width when it was saved, in HIMETRIC",
                                         "control block offset 16: a long"};
inline constexpr PropertyDef kExtentY = {"_ExtentY",
                                         PropertyType::kInteger,
                                         {},
                                         "the control's height when it was saved, in HIMETRIC",
                                         "control block offset 20: a long"};
inline constexpr PropertyDef kVersion = {"_Version",
                                         PropertyType::kInteger,
                                         {},
                                         "the version of the control that saved the stream",
                                         "control block offset 28: a long"};
}  // namespace extent
void ReadExtentAndVersion(DecodeContext& ctx, ExtentAndVersion& value);
// A control block's start: `headerWords` words not interpreted, then the extent's two longs.
void ReadHeaderAndExtent(DecodeContext& ctx, int headerWords, Read<std::uint32_t>& x,
                         Read<std::uint32_t>& y);
// Its block lines: _ExtentX, _ExtentY, _Version.
void WriteExtentAndVersion(BlockWriter& out, const ExtentAndVersion& value);
inline constexpr PropertyEntry kExtentAndVersion[] = {
    {&extent::kExtentX}, {&extent::kExtentY}, {&extent::kVersion}};

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
