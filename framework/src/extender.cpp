// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
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

// Word then zero-terminated text: DataMember, DataField, DataSource, ToolTipText.
Read<std::string> ReadMarkedText(DecodeContext& ctx) {
  ctx.ReadWord();
  return ctx.ReadZeroTerminated();
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

// What each code holds, how it is listed and what it stores, in one place. The switch names
// every code: a code added to ExtenderCode and not read here does not compile.
void ReadExtenderCode(DecodeContext& ctx, ExtenderCode code, const ExtenderProfile& profile,
                      ExtenderProperties& props, const std::function<void()>& dataFormat) {
  const std::string_view q = ListingQuote(profile);
  // A presence flag's bytes: its code byte and the value byte after it.
  const double codeAt = ctx.Position() - 1;
  const double at = ctx.Position();
  switch (code) {
    case ExtenderCode::kIndex:  // word
      props.Index = ctx.ReadWord();
      return;
    case ExtenderCode::kPositionAndSize:
      ReadPositionAndSize(ctx, props);
      return;
    case ExtenderCode::kVisible:  // byte
      ctx.ReadByte();
      props.Visible += ctx.Since(codeAt);
      ctx.LineAt(at, "Visible: False");
      return;
    case ExtenderCode::kDragMode:  // byte
      ctx.ReadByte();
      props.DragMode += ctx.Since(codeAt);
      ctx.LineAt(at, profile.dragModeLine);
      return;
    case ExtenderCode::kDragIcon:  // picture record
      props.DragIcon += Source(codeAt, 1) + ctx.ReadPicture();
      ctx.LineAt(at, "DragIcon: ", kPictureFileName);
      return;
    case ExtenderCode::kTag:  // word count, UTF-16 units
      props.Tag = ctx.ReadUtf16LowBytes(ctx.ReadWord());
      ctx.LineAt(at, "Tag: ", q, props.Tag.value, q);
      return;
    case ExtenderCode::kTabStop:  // byte
      ctx.ReadByte();
      props.TabStop += ctx.Since(codeAt);
      ctx.LineAt(at, "TabStop: False");
      return;
    case ExtenderCode::kTabIndex: {  // word
      const Read<std::uint16_t> word = ctx.ReadWord();
      const double index = profile.tabIndexSigned16 ? Signed16(word) : word.value;
      props.TabIndex = {index, word.from};
      props.TabIndexWord = word;
      ctx.LineAt(at, "TabIndex: ", NumberChars(word));
      return;
    }
    case ExtenderCode::kDataFormat:  // the deliverable's own sub-record
      dataFormat();
      return;
    case ExtenderCode::kDataMember:  // word, zero-terminated text
      props.DataMember = ReadMarkedText(ctx);
      ctx.Line("DataMember: ", q, props.DataMember.value, q);
      return;
    case ExtenderCode::kHelpContextID:  // long
      props.HelpContextID = ctx.ReadLong();
      ctx.LineAt(at, "HelpContextID: ", NumberChars(props.HelpContextID));
      return;
    case ExtenderCode::kLeft:  // signed long
      props.Left = ctx.ReadSignedLong();
      ctx.LineAt(at, "Left: ", NumberChars(props.Left));
      return;
    case ExtenderCode::kTop:  // signed long
      props.Top = ctx.ReadSignedLong();
      ctx.LineAt(at, "Top: ", NumberChars(props.Top));
      return;
    case ExtenderCode::kAlign: {  // byte, 1 to 4, anything else None
      static constexpr std::string_view kListed[] = {
          "Align: 0 - vbAlignNone", "Align: 1 - vbAlignTop", "Align: 2 - vbAlignBottom",
          "Align: 3 - vbAlignLeft", "Align: 4 - vbAlignRight"};
      props.Align = ctx.ReadByte();
      ctx.Line(kListed[props.Align.value <= 4 ? props.Align.value : 0]);
      return;
    }
    case ExtenderCode::kNegotiate:  // byte
      ctx.ReadByte();
      props.Negotiate += ctx.Since(codeAt);
      ctx.Line("Negotiate: -1 'True");
      return;
    case ExtenderCode::kDataField:  // word, zero-terminated text
      props.DataField = ReadMarkedText(ctx);
      ctx.Line("DataField: ", q, props.DataField.value, q);
      return;
    case ExtenderCode::kDataSource:  // word, zero-terminated text
      props.DataSource = ReadMarkedText(ctx);
      ctx.Line("DataSource: ", q, props.DataSource.value, q);
      return;
    case ExtenderCode::kPassedOver:  // six words and a zero-terminated text, not listed
      for (int i = 0; i < 6; ++i)
        ctx.ReadWord();
      ctx.ReadZeroTerminated();
      return;
    case ExtenderCode::kWhatsThisHelpID:  // long
      props.WhatsThisHelpID = ctx.ReadLong();
      ctx.LineAt(at, "WhatsThisHelpID: ", NumberChars(props.WhatsThisHelpID));
      return;
    case ExtenderCode::kCausesValidation:  // byte
      ctx.ReadByte();
      props.CausesValidation += ctx.Since(codeAt);
      ctx.LineAt(at, "CausesValidation: False");
      return;
    case ExtenderCode::kToolTipText:  // word, zero-terminated text
      props.ToolTipText = ReadMarkedText(ctx);
      ctx.LineAt(at, "ToolTipText: ", q, props.ToolTipText.value, q);
      return;
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

void WriteIfHeld(BlockWriter& out, const ExtenderProperties& props, const PropertyDef& def) {
  static constexpr std::string_view kAlignStored[] = {
      "0 'Align None", "1 'Align Top", "2 'Align Bottom", "3 'Align Left", "4 'Align Right"};
  const ExtenderProfile* profile = props.profile;
  if (&def == &extender::kAlign) {
    if (!props.Align.Held()) return;
    const std::uint8_t byte = props.Align;
    const std::uint8_t shown = byte <= 4 ? byte : 0;
    out.Shown(def, kAlignStored[shown], std::int64_t{shown}, props.Align.from,
              byte != shown ? std::optional<std::int64_t>(byte) : std::nullopt);
    return;
  }
  if (&def == &extender::kDragIcon) {
    if (props.DragIcon.empty()) return;
    const std::string quoted = QuotedValue(kPictureFileName);
    out.Shown(def, profile->quotePictureName ? std::string_view(quoted) : kPictureFileName,
              kPictureFileName, props.DragIcon);
    return;
  }
  if (&def == &extender::kDragMode) {
    if (!props.DragMode.empty()) {
      out.Shown(def, profile->automaticText, std::int64_t{1}, props.DragMode);
    }
    return;
  }
  if (&def == &extender::kNegotiate) {
    if (!props.Negotiate.empty()) out.Shown(def, "-1 'True", true, props.Negotiate);
    return;
  }
  const Source* flag = &def == &extender::kVisible            ? &props.Visible
                       : &def == &extender::kTabStop          ? &props.TabStop
                       : &def == &extender::kCausesValidation ? &props.CausesValidation
                                                              : nullptr;
  if (flag != nullptr && !flag->empty()) out.Shown(def, profile->falseText, false, *flag);
}

void WriteIndexLeftTagTop(BlockWriter& out, const ExtenderProperties& props) {
  out.NumberIfSet(extender::kIndex, props.Index);
  out.NumberIfSet(extender::kLeft, props.Left);
  out.QuotedIfSet(extender::kTag, props.Tag);
  out.NumberIfSet(extender::kTop, props.Top);
}

void WriteVisibleControl(BlockWriter& out, const ExtenderProperties& props,
                         const std::function<void()>& dataLines) {
  WriteIfHeld(out, props, extender::kCausesValidation);
  if (dataLines) dataLines();
  WriteIfHeld(out, props, extender::kDragIcon);
  WriteIfHeld(out, props, extender::kDragMode);
  out.Number(extender::kHeight, props.Height);
  out.NumberIfSet(extender::kHelpContextID, props.HelpContextID);
  out.NumberIfSet(extender::kIndex, props.Index);
  out.Number(extender::kLeft, props.Left);
  out.Number(extender::kTabIndex, props.TabIndex.value,
             Read<double>(props.TabIndexWord, props.TabIndex.from));
  WriteIfHeld(out, props, extender::kTabStop);
  out.QuotedIfSet(extender::kTag, props.Tag);
  out.QuotedIfSet(extender::kToolTipText, props.ToolTipText);
  out.Number(extender::kTop, props.Top);
  WriteIfHeld(out, props, extender::kVisible);
  out.NumberIfSet(extender::kWhatsThisHelpID, props.WhatsThisHelpID);
  out.Number(extender::kWidth, props.Width);
}

void ReadExtentAndVersion(DecodeContext& ctx, ExtentAndVersion& value) {
  for (int i = 0; i < 8; ++i)
    ctx.ReadWord();  // header
  value.ExtentX = ctx.ReadLong();
  value.ExtentY = ctx.ReadLong();
  ctx.ReadLong();
  value.Version = ctx.ReadLong();
}

void WriteExtentAndVersion(BlockWriter& out, const ExtentAndVersion& value) {
  out.Number(extent::kExtentX, value.ExtentX);
  out.Number(extent::kExtentY, value.ExtentY);
  out.NumberOrEmpty(extent::kVersion, value.Version);
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
