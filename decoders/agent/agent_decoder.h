// The animated agent character control: extender records around a short control block.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "tvx/decoder.h"
#include "tvx/extender.h"

// The decoder is State, the stream reader ReadStream and the block writer WriteBlock; the
// build joins them into the deliverable's program and the registry of the tools.
namespace tvx::agent {

// Who this deliverable is; the host matches the caption byte for byte.
inline constexpr DeliverableInfo kInfo = {
    "PERSONA.Persona", "Agent", "Tevo Support Library (Agent)", 18, "AgentObjectsCtl.Agent"};

struct State {
  ExtenderProperties ext;
  Read<std::uint32_t> cx, cy;
};

DecodeEnd ReadStream(DecodeContext& ctx, State& s);
void WriteBlock(BlockWriter& out, const State& s);
// Every property the block may hold, in the block's order.
std::span<const PropertyEntry> Properties();

}  // namespace tvx::agent
