// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
#include "agent/agent_decoder.h"

#include <vector>

#include "tvx/extender.h"

namespace tvx::agent {

namespace {

constexpr ExtenderProfile kProfile = IndexTagLeftTop("AGENTOBJECT Parse Error");

constexpr PropertyDef kCx = {"_cx",
                             PropertyType::kInteger,
                             {},
                             "the control's width when it was saved, in HIMETRIC",
                             "control block offset 12: a long"};
constexpr PropertyDef kCy = {"_cy",
                             PropertyType::kInteger,
                             {},
                             "the control's height when it was saved, in HIMETRIC",
                             "control block offset 16: a long"};

constexpr PropertyEntry kOwn[] = {{&kCx}, {&kCy}};

}  // namespace

DecodeEnd ReadStream(DecodeContext& ctx, State& s) {
  return ReadFrame(ctx, kProfile, s.ext, [&] { ReadHeaderAndExtent(ctx, 6, s.cx, s.cy); });
}

void WriteBlock(BlockWriter& out, const State& s) {
  out.VersionLine();
  WriteIndexLeftTagTop(out, s.ext);
  out.Number(kCx, s.cx);
  out.Number(kCy, s.cy);
}

std::span<const PropertyEntry> Properties() {
  static const std::vector<PropertyEntry> all = JoinedEntries({kIndexLeftTagTop, kOwn});
  return all;
}

}  // namespace tvx::agent
