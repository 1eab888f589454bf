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
std::string ReadMarkedText(DecodeContext& ctx) {
  ctx.ReadWord();
  return ctx.ReadZeroTerminated();
}

// Code 3. Four signed words, or, after the marker word 0x8000, four signed longs.
void ReadPositionAndSize(DecodeContext& ctx, ExtenderProperties& props) {
  static constexpr std::string_view kLabels[] = {"Left: ", "Top: ", "Width: ", "Height: "};
  double* fields[] = {&props.Left, &props.Top, &props.Width, &props.Height};
  double at = ctx.Position();
  const std::int32_t first = ctx.ReadSignedWord();
  const bool longForm = first == -0x8000;  // the marker word 0x8000
  for (int i = 0; i < 4; ++i) {
    if (longForm) {
      at = ctx.Position();
      *fields[i] = static_cast<double>(ctx.ReadSignedLong());
    } else if (i == 0) {
      *fields[i] = first;
    } else {
      at = ctx.Position();
      *fields[i] = ctx.ReadSignedWord();
    }
    ctx.LineAt(at, kLabels[i], NumberChars(*fields[i]));
  }
}

// What each code holds, how it is listed and what it stores, in one place. The switch names
// every code: a code added to ExtenderCode and not read here does not compile.
void ReadExtenderCode(DecodeContext& ctx, ExtenderCode code, const ExtenderProfile& profile,
                      ExtenderProperties& props, const std::function<void()>& dataFormat) {
  const std::string_view q = ListingQuote(profile);
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
      props.Visible = profile.falseText;
      ctx.LineAt(at, "Visible: False");
      return;
    case ExtenderCode::kDragMode:  // byte
      ctx.ReadByte();
      props.DragMode = profile.automaticText;
      ctx.LineAt(at, profile.dragModeLine);
      return;
    case ExtenderCode::kDragIcon:  // picture record
      props.DragIcon = ctx.ReadPicture();
      ctx.LineAt(at, "DragIcon: ", props.DragIcon);
      return;
    case ExtenderCode::kTag:  // word count, UTF-16 units
      props.Tag = ctx.ReadUtf16LowBytes(ctx.ReadWord());
      ctx.LineAt(at, "Tag: ", q, props.Tag, q);
      return;
    case ExtenderCode::kTabStop:  // byte
      ctx.ReadByte();
      props.TabStop = profile.falseText;
      ctx.LineAt(at, "TabStop: False");
      return;
    case ExtenderCode::kTabIndex: {  // word
      const std::uint16_t word = ctx.ReadWord();
      props.TabIndex = profile.tabIndexSigned16 ? Signed16(word) : word;
      ctx.LineAt(at, "TabIndex: ", NumberChars(word));
      return;
    }
    case ExtenderCode::kDataFormat:  // the deliverable's own sub-record
      dataFormat();
      return;
    case ExtenderCode::kDataMember:  // word, zero-terminated text
      props.DataMember = ReadMarkedText(ctx);
      ctx.Line("DataMember: ", q, props.DataMember, q);
      return;
    case ExtenderCode::kHelpContextID:  // long
      props.HelpContextID = ctx.ReadLong();
      ctx.LineAt(at, "HelpContextID: ", NumberChars(props.HelpContextID));
      return;
    case ExtenderCode::kLeft:  // signed long
      props.Left = static_cast<double>(ctx.ReadSignedLong());
      ctx.LineAt(at, "Left: ", NumberChars(props.Left));
      return;
    case ExtenderCode::kTop:  // signed long
      props.Top = static_cast<double>(ctx.ReadSignedLong());
      ctx.LineAt(at, "Top: ", NumberChars(props.Top));
      return;
    case ExtenderCode::kAlign: {  // byte, 1 to 4, anything else None
      static constexpr std::string_view kStored[] = {
          "0 'Align None", "1 'Align Top", "2 'Align Bottom", "3 'Align Left", "4 'Align Right"};
      static constexpr std::string_view kListed[] = {
          "Align: 0 - vbAlignNone", "Align: 1 - vbAlignTop", "Align: 2 - vbAlignBottom",
          "Align: 3 - vbAlignLeft", "Align: 4 - vbAlignRight"};
      const std::uint8_t v = ctx.ReadByte();
      const std::size_t i = v <= 4 ? v : 0;
      props.Align = kStored[i];
      ctx.Line(kListed[i]);
      return;
    }
    case ExtenderCode::kNegotiate:  // byte
      ctx.ReadByte();
      props.Negotiate = "-1 'True";
      ctx.Line("Negotiate: -1 'True");
      return;
    case ExtenderCode::kDataField:  // word, zero-terminated text
      props.DataField = ReadMarkedText(ctx);
      ctx.Line("DataField: ", q, props.DataField, q);
      return;
    case ExtenderCode::kDataSource:  // word, zero-terminated text
      props.DataSource = ReadMarkedText(ctx);
      ctx.Line("DataSource: ", q, props.DataSource, q);
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
      props.CausesValidation = profile.falseText;
      ctx.LineAt(at, "CausesValidation: False");
      return;
    case ExtenderCode::kToolTipText:  // word, zero-terminated text
      props.ToolTipText = ReadMarkedText(ctx);
      ctx.LineAt(at, "ToolTipText: ", q, props.ToolTipText, q);
      return;
  }
}

// Reads code records from the current position up to and including the section's end code. An
// unknown code consumes its code byte only in section A; in section B it writes the stop line
// and ends the decode, or, where the deliverable has none, is passed over like in section A.
DecodeEnd ReadSection(DecodeContext& ctx, bool sectionB, const ExtenderProfile& profile,
                      ExtenderProperties& props, const std::function<void()>& dataFormat) {
  const FramePart section = sectionB ? FramePart::kSectionB : FramePart::kSectionA;
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

void WriteIndexLeftTagTop(BlockWriter& out, const ExtenderProperties& props) {
  out.NumberIfSet("Index", props.Index);
  out.NumberIfSet("Left", props.Left);
  out.QuotedIfSet("Tag", props.Tag);
  out.NumberIfSet("Top", props.Top);
}

void WriteVisibleControl(BlockWriter& out, const ExtenderProperties& props,
                         const std::function<void()>& dataLines) {
  out.TextIfSet("CausesValidation", props.CausesValidation);
  if (dataLines) dataLines();
  out.TextIfSet("DragIcon", props.DragIcon);
  out.TextIfSet("DragMode", props.DragMode);
  out.Number("Height", props.Height);
  out.NumberIfSet("HelpContextID", props.HelpContextID);
  out.NumberIfSet("Index", props.Index);
  out.Number("Left", props.Left);
  out.Number("TabIndex", props.TabIndex);
  out.TextIfSet("TabStop", props.TabStop);
  out.QuotedIfSet("Tag", props.Tag);
  out.QuotedIfSet("ToolTipText", props.ToolTipText);
  out.Number("Top", props.Top);
  out.TextIfSet("Visible", props.Visible);
  out.NumberIfSet("WhatsThisHelpID", props.WhatsThisHelpID);
  out.Number("Width", props.Width);
}

void ReadExtentAndVersion(DecodeContext& ctx, ExtentAndVersion& value) {
  for (int i = 0; i < 8; ++i)
    ctx.ReadWord();  // header
  value.ExtentX = ctx.ReadLong();
  value.ExtentY = ctx.ReadLong();
  ctx.ReadLong();
  value.Version = NumberText(ctx.ReadLong());
}

void WriteExtentAndVersion(BlockWriter& out, const ExtentAndVersion& value) {
  out.Number("_ExtentX", value.ExtentX);
  out.Number("_ExtentY", value.ExtentY);
  out.Text("_Version", value.Version);
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
