// The frame's reading: its sections' code records and what each lists. Every listing text
// written here is matched by the host byte for byte, odd spacing included: change none of them.
#include "tvx/extender.h"

#include "tvx/text.h"

namespace tvx {

namespace {

// The next code byte of a section, or -1 after writing "Unexpected end of file" when the
// position is past the last byte of the file.
int NextCode(DecodeContext& ctx, FramePart section) {
  if (ctx.In().AtEnd()) {
    const double at = ctx.Position();
    if (DecodeObserver* observer = ctx.Observer()) observer->OnInputEnded(at, section);
    ctx.SetStop({at, -1});
    ctx.Line(kUnexpectedEnd);
    return -1;
  }
  return ctx.ReadByte();
}

// Tells the observer, if any, what the code byte just read at `at` does.
void NoteCode(DecodeContext& ctx, double at, int code, FramePart section, CodeOutcome outcome) {
  if (DecodeObserver* observer = ctx.Observer()) observer->OnCode({at, code, section, outcome});
}

// The mark around a text in the listing: a double quote, or nothing.
std::string_view ListingQuote(const ExtenderProfile& profile) {
  return profile.quoteListingTexts ? "\"" : "";
}

// Code 3. Four signed words, or, after the marker word 0x8000, four signed longs.
void ReadPositionAndSize(DecodeContext& ctx, ExtenderProperties& props) {
  static constexpr std::string_view kLabels[] = {"Left: ", "Top: ", "Width: ", "Height: "};
  Read<double>* fields[] = {&props.Left, &props.Top, &props.Width, &props.Height};
  const Read<std::int32_t> first = ctx.ReadSignedWord();
  const bool longForm = first.value == -0x8000;  // the marker word 0x8000
  for (int i = 0; i < 4; ++i) {
    if (longForm) {
      *fields[i] = ctx.ReadSignedLong();
    } else if (i == 0) {
      *fields[i] = first;
    } else {
      *fields[i] = ctx.ReadSignedWord();
    }
    ctx.LineAt(fields[i]->from.Ranges()[0].position, kLabels[i], NumberChars(*fields[i]));
  }
}

// The listing line of a value at `at`, with its offset line where the deliverable writes one.
constexpr bool kWithOffset = true;
constexpr bool kNoOffset = false;
template <typename... Pieces>
void ListAt(DecodeContext& ctx, bool withOffset, double at, const Pieces&... pieces) {
  if (withOffset) {
    ctx.LineAt(at, pieces...);
  } else {
    ctx.Line(pieces...);
  }
}

// A presence flag: a byte, not looked at, after the code; the flag holds the bytes of both.
void ReadPresenceFlag(DecodeContext& ctx, Source& flag, std::string_view line, bool withOffset) {
  const double codeAt = ctx.Position() - 1;
  const double at = ctx.Position();
  ctx.ReadByte();
  flag += ctx.Since(codeAt);
  ListAt(ctx, withOffset, at, line);
}

// Word then zero-terminated text: DataMember, DataField, DataSource, ToolTipText.
void ReadMarkedText(DecodeContext& ctx, const ExtenderProfile& profile, Read<std::string>& text,
                    std::string_view label, bool withOffset) {
  const std::string_view q = ListingQuote(profile);
  const double at = ctx.Position();
  ctx.ReadWord();
  text = ctx.ReadZeroTerminated();
  ListAt(ctx, withOffset, at, label, q, text.value, q);
}

// A long (HelpContextID, WhatsThisHelpID) or a signed long (Left, Top), listed as its number.
constexpr bool kSigned = true;
constexpr bool kUnsigned = false;
void ReadListedLong(DecodeContext& ctx, Read<double>& value, std::string_view label,
                    bool isSigned) {
  const double at = ctx.Position();
  value = isSigned ? Read<double>(ctx.ReadSignedLong()) : Read<double>(ctx.ReadLong());
  ctx.LineAt(at, label, NumberChars(value));
}

// A word count of UTF-16 units, then the units.
void ReadTag(DecodeContext& ctx, const ExtenderProfile& profile, ExtenderProperties& props) {
  const std::string_view q = ListingQuote(profile);
  const double at = ctx.Position();
  props.Tag = ctx.ReadUtf16LowBytes(ctx.ReadWord());
  ctx.LineAt(at, "Tag: ", q, props.Tag.value, q);
}

// A word, signed where the deliverable keeps it so.
void ReadTabIndex(DecodeContext& ctx, const ExtenderProfile& profile, ExtenderProperties& props) {
  const double at = ctx.Position();
  const Read<std::uint16_t> word = ctx.ReadWord();
  const double index = profile.tabIndexSigned16 ? Signed16(word) : word.value;
  props.TabIndex = {index, word.from};
  props.TabIndexWord = word;
  ctx.LineAt(at, "TabIndex: ", NumberChars(word));
}

// A byte, 1 to 4; anything else is listed as None.
void ReadAlign(DecodeContext& ctx, ExtenderProperties& props) {
  static constexpr std::string_view kListed[] = {
      "Align: 0 - vbAlignNone", "Align: 1 - vbAlignTop", "Align: 2 - vbAlignBottom",
      "Align: 3 - vbAlignLeft", "Align: 4 - vbAlignRight"};
  props.Align = ctx.ReadByte();
  ctx.Line(kListed[props.Align.value <= 4 ? props.Align.value : 0]);
}

// Six words and a zero-terminated text, not listed.
void PassOver(DecodeContext& ctx) {
  for (int i = 0; i < 6; ++i)
    ctx.ReadWord();
  ctx.ReadZeroTerminated();
}

// What each code holds, how it is listed and what it stores, in one place. The switch names
// every code: a code added to ExtenderCode and not read here does not compile.
void ReadExtenderCode(DecodeContext& ctx, ExtenderCode code, const ExtenderProfile& profile,
                      ExtenderProperties& props, const std::function<void()>& dataFormat) {
  using C = ExtenderCode;
  switch (code) {
    case C::kIndex:
      props.Index = ctx.ReadWord();
      return;
    case C::kPositionAndSize:
      return ReadPositionAndSize(ctx, props);
    case C::kVisible:
      return ReadPresenceFlag(ctx, props.Visible, "Visible: False", kWithOffset);
    case C::kDragMode:
      return ReadPresenceFlag(ctx, props.DragMode, profile.dragModeLine, kWithOffset);
    case C::kDragIcon: {  // picture record
      const double at = ctx.Position();
      props.DragIcon += Source(at - 1, 1) + ctx.ReadPicture();
      ctx.LineAt(at, "DragIcon: ", kPictureFileName);
      return;
    }
    case C::kTag:
      return ReadTag(ctx, profile, props);
    case C::kTabStop:
      return ReadPresenceFlag(ctx, props.TabStop, "TabStop: False", kWithOffset);
    case C::kTabIndex:
      return ReadTabIndex(ctx, profile, props);
    case C::kDataFormat:  // the deliverable's own sub-record
      return dataFormat();
    case C::kDataMember:
      return ReadMarkedText(ctx, profile, props.DataMember, "DataMember: ", kNoOffset);
    case C::kHelpContextID:
      return ReadListedLong(ctx, props.HelpContextID, "HelpContextID: ", kUnsigned);
    case C::kLeft:
      return ReadListedLong(ctx, props.Left, "Left: ", kSigned);
    case C::kTop:
      return ReadListedLong(ctx, props.Top, "Top: ", kSigned);
    case C::kAlign:
      return ReadAlign(ctx, props);
    case C::kNegotiate:
      return ReadPresenceFlag(ctx, props.Negotiate, "Negotiate: -1 'True", kNoOffset);
    case C::kDataField:
      return ReadMarkedText(ctx, profile, props.DataField, "DataField: ", kNoOffset);
    case C::kDataSource:
      return ReadMarkedText(ctx, profile, props.DataSource, "DataSource: ", kNoOffset);
    case C::kPassedOver:
      return PassOver(ctx);
    case C::kWhatsThisHelpID:
      return ReadListedLong(ctx, props.WhatsThisHelpID, "WhatsThisHelpID: ", kUnsigned);
    case C::kCausesValidation:
      return ReadPresenceFlag(ctx, props.CausesValidation, "CausesValidation: False", kWithOffset);
    case C::kToolTipText:
      return ReadMarkedText(ctx, profile, props.ToolTipText, "ToolTipText: ", kWithOffset);
  }
}

// Reads code records from the current position up to and including the section's end code. An
// unknown code consumes its code byte only in section A; in section B it writes the stop line
// and ends the decode, or, where the deliverable has none, is passed over like in section A.
DecodeEnd ReadSection(DecodeContext& ctx, bool sectionB, const ExtenderProfile& profile,
                      ExtenderProperties& props, const std::function<void()>& dataFormat) {
  const FramePart section = sectionB ? FramePart::kSectionB : FramePart::kSectionA;
  props.profile = &profile;
  if (DecodeObserver* observer = ctx.Observer()) observer->OnFramePart(ctx.Position(), section);
  const CodeSet& known = sectionB ? profile.sectionB : profile.sectionA;
  const int endCode = sectionB ? kEndOfSectionB : kEndOfSectionA;
  for (;;) {
    const double at = ctx.Position();
    const int code = NextCode(ctx, section);
    if (code < 0) return DecodeEnd::kEndOfInput;
    if (code == endCode) {
      NoteCode(ctx, at, code, section, CodeOutcome::kEndOfSection);
      if (sectionB) ctx.SetStop({at, code});
      return DecodeEnd::kEndCode;
    }
    if (known.Has(code) || (!sectionB && dataFormat && code == 41)) {
      NoteCode(ctx, at, code, section, CodeOutcome::kProperty);
      ReadExtenderCode(ctx, static_cast<ExtenderCode>(code), profile, props, dataFormat);
    } else if (sectionB && !profile.stopLine.empty()) {
      NoteCode(ctx, at, code, section, CodeOutcome::kStopped);
      ctx.SetStop({at, code});
      ctx.Line(profile.stopLine);
      return DecodeEnd::kStopLine;
    } else {
      NoteCode(ctx, at, code, section, CodeOutcome::kPassedOver);
    }
  }
}

}  // namespace

std::string_view ExtenderCodeName(int code) {
  if (code < 0 || code > 255) return {};
  switch (code) {
    case kEndOfSectionA:
      return "end of section A";
    case kEndOfSectionB:
      return "end of section B and of the stream";
    default:
      break;
  }
  switch (static_cast<ExtenderCode>(code)) {
    case ExtenderCode::kIndex:
      return "Index";
    case ExtenderCode::kPositionAndSize:
      return "Left, Top, Width, Height";
    case ExtenderCode::kVisible:
      return "Visible";
    case ExtenderCode::kDragMode:
      return "DragMode";
    case ExtenderCode::kDragIcon:
      return "DragIcon";
    case ExtenderCode::kTag:
      return "Tag";
    case ExtenderCode::kTabStop:
      return "TabStop";
    case ExtenderCode::kTabIndex:
      return "TabIndex";
    case ExtenderCode::kDataFormat:
      return "DataFormat";
    case ExtenderCode::kDataMember:
      return "DataMember";
    case ExtenderCode::kHelpContextID:
      return "HelpContextID";
    case ExtenderCode::kLeft:
      return "Left";
    case ExtenderCode::kTop:
      return "Top";
    case ExtenderCode::kAlign:
      return "Align";
    case ExtenderCode::kNegotiate:
      return "Negotiate";
    case ExtenderCode::kDataField:
      return "DataField";
    case ExtenderCode::kDataSource:
      return "DataSource";
    case ExtenderCode::kPassedOver:
      return "record passed over";
    case ExtenderCode::kWhatsThisHelpID:
      return "WhatsThisHelpID";
    case ExtenderCode::kCausesValidation:
      return "CausesValidation";
    case ExtenderCode::kToolTipText:
      return "ToolTipText";
  }
  return {};
}

void ReadHeaderAndExtent(DecodeContext& ctx, int headerWords, Read<std::uint32_t>& x,
                         Read<std::uint32_t>& y) {
  for (int i = 0; i < headerWords; ++i)
    ctx.ReadWord();  // header
  x = ctx.ReadLong();
  y = ctx.ReadLong();
}

void ReadExtentAndVersion(DecodeContext& ctx, ExtentAndVersion& value) {
  ReadHeaderAndExtent(ctx, 8, value.ExtentX, value.ExtentY);
  ctx.ReadLong();
  value.Version = ctx.ReadLong();
}

DecodeEnd ReadSectionA(DecodeContext& ctx, const ExtenderProfile& profile,
                       ExtenderProperties& props, const std::function<void()>& dataFormat) {
  return ReadSection(ctx, false, profile, props, dataFormat);
}

DecodeEnd ReadSectionB(DecodeContext& ctx, const ExtenderProfile& profile,
                       ExtenderProperties& props) {
  return ReadSection(ctx, true, profile, props, nullptr);
}

DecodeEnd ReadFrame(DecodeContext& ctx, const ExtenderProfile& profile, ExtenderProperties& props,
                    const std::function<void()>& controlBlock,
                    const std::function<void()>& dataFormat) {
  const DecodeEnd a = ReadSectionA(ctx, profile, props, dataFormat);
  if (a != DecodeEnd::kEndCode) return a;
  if (DecodeObserver* observer = ctx.Observer()) {
    observer->OnFramePart(ctx.Position(), FramePart::kControlBlock);
  }
  controlBlock();
  return ReadSectionB(ctx, profile, props);
}

}  // namespace tvx
