#include "pluginhost/pluginhost_decoder.h"

namespace tvx {

const DeliverableInfo PluginHostDecoder::kInfo = {"EMBEDHOST.Embedder", "ActiveXPlugin",
                                                  "Tevo Support Library (ActiveXPlugin)", 19};

namespace {

const ExtenderProfile kProfile = {
    .sectionA = Codes({1, 3, 7, 9, 10, 11, 14, 15}),
    .sectionB = Codes({50, 70, 72, 74}),
    .falseText = "0   'False",
    .automaticText = "1  'Automatic",
    .dragModeLine = "DragMode: Automatic",
    .stopLine = "ACTIVEX Parse Error",
};

}  // namespace

void PluginHostDecoder::InitProperties() {
  ext_ = ExtenderProperties{};
  extentX_ = 0;
  extentY_ = 0;
}

void PluginHostDecoder::ParseControl(DecodeContext& ctx) {
  if (ReadSectionA(ctx, kProfile, ext_) != SectionEnd::kEndCode) return;
  for (int i = 0; i < 8; ++i)
    ctx.GetWord();  // control block header
  extentX_ = ctx.GetLong();
  extentY_ = ctx.GetLong();
  ReadSectionB(ctx, kProfile, ext_);
}

void PluginHostDecoder::WriteToFile(BlockWriter& out) const {
  out.VersionLine();
  out.TextIfSet("CausesValidation", ext_.CausesValidation);
  out.TextIfSet("DragIcon", ext_.DragIcon);
  out.TextIfSet("DragMode", ext_.DragMode);
  out.Number("Height", ext_.Height);
  out.NumberIfSet("HelpContextID", ext_.HelpContextID);
  out.NumberIfSet("Index", ext_.Index);
  out.Number("Left", ext_.Left);
  out.Number("TabIndex", ext_.TabIndex);
  out.TextIfSet("TabStop", ext_.TabStop);
  out.QuotedIfSet("Tag", ext_.Tag);
  out.QuotedIfSet("ToolTipText", ext_.ToolTipText);
  out.Number("Top", ext_.Top);
  out.TextIfSet("Visible", ext_.Visible);
  out.NumberIfSet("WhatsThisHelpID", ext_.WhatsThisHelpID);
  out.Number("Width", ext_.Width);
  out.Number("_ExtentX", extentX_);
  out.Number("_ExtentY", extentY_);
}

}  // namespace tvx
