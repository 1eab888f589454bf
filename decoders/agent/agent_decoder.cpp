#include "agent/agent_decoder.h"

#include "tvx/extender.h"

namespace tvx::agent {

namespace {

// Who this deliverable is; the host matches the caption byte for byte.
constexpr DeliverableInfo kInfo = {"PERSONA.Persona", "Agent", "Tevo Support Library (Agent)", 18,
                                   "AgentObjectsCtl.Agent"};

constexpr ExtenderProfile kProfile = IndexTagLeftTop("AGENTOBJECT Parse Error");

struct State {
  ExtenderProperties ext;
  std::uint32_t cx = 0;
  std::uint32_t cy = 0;
};

DecodeEnd ReadStream(DecodeContext& ctx, State& s) {
  return ReadFrame(ctx, kProfile, s.ext, [&] {
    for (int i = 0; i < 6; ++i)
      ctx.ReadWord();  // control block header
    s.cx = ctx.ReadLong();
    s.cy = ctx.ReadLong();
  });
}

void WriteBlock(BlockWriter& out, const State& s) {
  out.VersionLine();
  WriteIndexLeftTagTop(out, s.ext);
  out.Number("_cx", s.cx);
  out.Number("_cy", s.cy);
}

}  // namespace

std::unique_ptr<Decoder> MakeDecoder() {
  return MakeStateDecoder<State>(kInfo, ReadStream, WriteBlock);
}

}  // namespace tvx::agent
