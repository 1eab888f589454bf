#include "tvx/extender.h"

#include "tvx/text.h"

namespace tvx {

std::bitset<256> Codes(std::initializer_list<int> codes) {
  std::bitset<256> set;
  for (const int code : codes)
    set.set(static_cast<std::size_t>(code));
  return set;
}

int NextCode(DecodeContext& ctx) {
  if (ctx.In().AtEnd()) {
    ctx.Line(kUnexpectedEnd);
    return -1;
  }
  ctx.In().Mark("code");
  return static_cast<int>(ctx.GetByte());
}

namespace {

// The mark around a text in the listing: a double quote, or nothing.
std::string_view ListingQuote(const ExtenderProfile& profile) {
  return profile.quoteListingTexts ? "\"" : "";
}

// Word then zero-terminated text: DataMember, DataField, DataSource, ToolTipText.
std::string ReadMarkedText(DecodeContext& ctx) {
  ctx.GetWord();
  return ctx.GetDosString();
}

// Code 3. Four signed words, or, after the marker word 0x8000, four signed longs.
void ReadPositionAndSize(DecodeContext& ctx, ExtenderProperties& props) {
  static constexpr std::string_view kLabels[] = {"Left: ", "Top: ", "Width: ", "Height: "};
  double* fields[] = {&props.Left, &props.Top, &props.Width, &props.Height};
  ctx.MarkOffset();
  const double first = ctx.GetWord();
  const bool longForm = first == 0x8000;
  for (int i = 0; i < 4; ++i) {
    double value = 0;
    if (longForm) {
      ctx.MarkOffset();
      value = Signed32(ctx.GetLong());
    } else if (i == 0) {
      value = Signed16(first);
    } else {
      ctx.MarkOffset();
      value = Signed16(ctx.GetWord());
    }
    *fields[i] = value;
    ctx.LineWithOffset(kLabels[i], NumberChars(value));
  }
}

// Handles one code known to both sections' tables; returns false for a code it does not know.
bool ReadExtenderCode(DecodeContext& ctx, int code, const ExtenderProfile& profile,
                      ExtenderProperties& props, const std::function<void()>& dataFormat) {
  switch (code) {
    case 1:
      props.Index = ctx.GetWord();
      return true;
    case 3:
      ReadPositionAndSize(ctx, props);
      return true;
    case 7:
      ctx.MarkOffset();
      ctx.GetByte();
      props.Visible = profile.falseText;
      ctx.LineWithOffset("Visible: False");
      return true;
    case 9:
      ctx.MarkOffset();
      ctx.GetByte();
      props.DragMode = profile.automaticText;
      ctx.LineWithOffset(profile.dragModeLine);
      return true;
    case 10:
      props.DragIcon = ctx.ReadPicture();
      ctx.LineWithOffset("DragIcon: ", props.DragIcon);
      return true;
    case 11: {
      ctx.MarkOffset();
      const double n = ctx.GetWord();
      props.Tag = ctx.GetUnicodeStringWLen(n);
      ctx.LineWithOffset("Tag: ", ListingQuote(profile), props.Tag, ListingQuote(profile));
      return true;
    }
    case 14:
      ctx.MarkOffset();
      ctx.GetByte();
      props.TabStop = profile.falseText;
      ctx.LineWithOffset("TabStop: False");
      return true;
    case 15: {
      ctx.MarkOffset();
      const double word = ctx.GetWord();
      props.TabIndex = profile.tabIndexSigned16 ? Signed16(word) : word;
      ctx.LineWithOffset("TabIndex: ", NumberChars(word));
      return true;
    }
    case 41:
      if (!dataFormat) return false;
      dataFormat();
      return true;
    case 42:
      props.DataMember = ReadMarkedText(ctx);
      ctx.Line("DataMember: ", ListingQuote(profile), props.DataMember, ListingQuote(profile));
      return true;
    case 50:
      ctx.MarkOffset();
      props.HelpContextID = ctx.GetLong();
      ctx.LineWithOffset("HelpContextID: ", NumberChars(props.HelpContextID));
      return true;
    case 57:
      ctx.MarkOffset();
      props.Left = Signed32(ctx.GetLong());
      ctx.LineWithOffset("Left: ", NumberChars(props.Left));
      return true;
    case 58:
      ctx.MarkOffset();
      props.Top = Signed32(ctx.GetLong());
      ctx.LineWithOffset("Top: ", NumberChars(props.Top));
      return true;
    case 59: {
      static constexpr std::string_view kStored[] = {
          "0 'Align None", "1 'Align Top", "2 'Align Bottom", "3 'Align Left", "4 'Align Right"};
      static constexpr std::string_view kListed[] = {
          "Align: 0 - vbAlignNone", "Align: 1 - vbAlignTop", "Align: 2 - vbAlignBottom",
          "Align: 3 - vbAlignLeft", "Align: 4 - vbAlignRight"};
      const double v = ctx.GetByte();
      const auto i = (v >= 1 && v <= 4) ? static_cast<std::size_t>(v) : 0;
      props.Align = kStored[i];
      ctx.Line(kListed[i]);
      return true;
    }
    case 60:
      ctx.GetByte();
      props.Negotiate = "-1 'True";
      ctx.Line("Negotiate: -1 'True");
      return true;
    case 66:
      props.DataField = ReadMarkedText(ctx);
      ctx.Line("DataField: ", ListingQuote(profile), props.DataField, ListingQuote(profile));
      return true;
    case 67:
      props.DataSource = ReadMarkedText(ctx);
      ctx.Line("DataSource: ", ListingQuote(profile), props.DataSource, ListingQuote(profile));
      return true;
    case 68:
      for (int i = 0; i < 6; ++i)
        ctx.GetWord();
      ctx.GetDosString();
      return true;
    case 70:
      ctx.MarkOffset();
      props.WhatsThisHelpID = ctx.GetLong();
      ctx.LineWithOffset("WhatsThisHelpID: ", NumberChars(props.WhatsThisHelpID));
      return true;
    case 72:
      ctx.MarkOffset();
      ctx.GetByte();
      props.CausesValidation = profile.falseText;
      ctx.LineWithOffset("CausesValidation: False");
      return true;
    case 74:
      ctx.MarkOffset();
      props.ToolTipText = ReadMarkedText(ctx);
      ctx.LineWithOffset("ToolTipText: ", ListingQuote(profile), props.ToolTipText,
                         ListingQuote(profile));
      return true;
    default:
      return false;
  }
}

}  // namespace

SectionEnd ReadSectionA(DecodeContext& ctx, const ExtenderProfile& profile,
                        ExtenderProperties& props, const std::function<void()>& dataFormat) {
  ctx.In().Mark("section A");
  for (;;) {
    const int code = NextCode(ctx);
    if (code < 0) return SectionEnd::kEndOfInput;
    if (code == kEndOfSectionA) return SectionEnd::kEndCode;
    // An unknown code consumes its code byte only.
    if (profile.sectionA.test(static_cast<std::size_t>(code))) {
      ReadExtenderCode(ctx, code, profile, props, dataFormat);
    }
  }
}

SectionEnd ReadSectionB(DecodeContext& ctx, const ExtenderProfile& profile,
                        ExtenderProperties& props) {
  ctx.In().Mark("section B");
  for (;;) {
    const int code = NextCode(ctx);
    if (code < 0) return SectionEnd::kEndOfInput;
    if (code == kEndOfSectionB) return SectionEnd::kEndCode;
    ctx.MarkOffset();
    if (profile.sectionB.test(static_cast<std::size_t>(code))) {
      ReadExtenderCode(ctx, code, profile, props, nullptr);
    } else if (!profile.stopLine.empty()) {
      ctx.Line(profile.stopLine);
      return SectionEnd::kParseError;
    }
  }
}

}  // namespace tvx
