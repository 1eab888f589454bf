#include "agent/agent_decoder.h"

namespace tvx {

const DeliverableInfo AgentDecoder::kInfo = {"PERSONA.Persona", "Agent",
                                             "Tevo Support Library (Agent)", 18};

namespace {

const ExtenderProfile kProfile = {
    .sectionA = Codes({1, 11}),
    .sectionB = Codes({57, 58}),
    .stopLine = "AGENTOBJECT Parse Error",
};

}  // namespace

void AgentDecoder::InitProperties() {
  ext_ = ExtenderProperties{};
  cx_ = 0;
  cy_ = 0;
}

void AgentDecoder::ParseControl(DecodeContext& ctx) {
  if (ReadSectionA(ctx, kProfile, ext_) != SectionEnd::kEndCode) return;
  for (int i = 0; i < 6; ++i)
    ctx.GetWord();  // control block header
  cx_ = ctx.GetLong();
  cy_ = ctx.GetLong();
  ReadSectionB(ctx, kProfile, ext_);
}

void AgentDecoder::WriteToFile(BlockWriter& out) const {
  out.VersionLine();
  out.NumberIfSet("Index", ext_.Index);
  out.NumberIfSet("Left", ext_.Left);
  out.QuotedIfSet("Tag", ext_.Tag);
  out.NumberIfSet("Top", ext_.Top);
  out.Number("_cx", cx_);
  out.Number("_cy", cy_);
}

}  // namespace tvx
