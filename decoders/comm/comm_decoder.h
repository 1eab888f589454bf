// The serial communications control: extender records around a fixed control block of settings
// and a flag word.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "tvx/decoder.h"
#include "tvx/extender.h"

// The decoder is State, the stream reader ReadStream and the block writer WriteBlock; the
// build joins them into the deliverable's program and the registry of the tools.
namespace tvx::comm {

// Who this deliverable is; the host matches the caption byte for byte.
inline constexpr DeliverableInfo kInfo = {"SERLINK.SerialLink", "MSComm",
                                          "Tevo Support Library (MSComm)", 18, "MSCommLib.MSComm"};

struct State {
  ExtenderProperties ext;
  ExtentAndVersion extent;
  Read<std::uint16_t> SThreshold, CommPort, InBufferSize, InputLen, OutBufferSize, RThreshold;
  Read<std::uint32_t> BaudRate;
  Read<std::uint16_t> ParitySetting;  // the parity word as read
  Read<std::uint16_t> DataBits, StopBits;
  Read<std::uint16_t> Handshaking;    // the word as read
  Read<std::uint16_t> ParityReplace;  // a character code
  // The flag word's bits; InputMode set is binary.
  Read<bool> DTREnable, NullDiscard, RTSEnable, EOFEnable, InputMode;
};

DecodeEnd ReadStream(DecodeContext& ctx, State& s);
void WriteBlock(BlockWriter& out, const State& s);
// Every property the block may hold, in the block's order.
std::span<const PropertyEntry> Properties();

}  // namespace tvx::comm
