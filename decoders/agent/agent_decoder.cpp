// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
#include "agent/agent_decoder.h"

#include "tvx/extender.h"

namespace tvx::agent {

namespace {

constexpr ExtenderProfile kProfile = IndexTagLeftTop("AGENTOBJECT Parse Error");

}  // namespace

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

}  // namespace tvx::agent
