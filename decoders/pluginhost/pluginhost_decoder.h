// The plug-in host control: the extender records of a visible control around its extent.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "tvx/decoder.h"
#include "tvx/extender.h"

// The decoder is State, the stream reader ReadStream and the block writer WriteBlock; the
// build joins them into the deliverable's program and the registry of the tools.
namespace tvx::pluginhost {

// Who this deliverable is; the host matches the caption byte for byte. The control's class name
// depends on the plug-in it hosts, so it has none of its own.
inline constexpr DeliverableInfo kInfo = {"EMBEDHOST.Embedder", "ActiveXPlugin",
                                          "Tevo Support Library (ActiveXPlugin)", 19, ""};

struct State {
  ExtenderProperties ext;
  Read<std::uint32_t> ExtentX, ExtentY;
};

DecodeEnd ReadStream(DecodeContext& ctx, State& s);
void WriteBlock(BlockWriter& out, const State& s);
// Every property the block may hold, in the block's order.
std::span<const PropertyEntry> Properties();

}  // namespace tvx::pluginhost
