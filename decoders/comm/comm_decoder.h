// The serial communications control: extender records around a fixed control block of settings
// and a flag word.
#pragma once

#include <cstdint>
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
  std::uint16_t SThreshold = 0, CommPort = 0, InBufferSize = 0, InputLen = 0, OutBufferSize = 0,
                RThreshold = 0;
  std::uint32_t BaudRate = 0;
  std::uint16_t ParitySetting = 0;  // the parity word as read
  std::uint16_t DataBits = 0, StopBits = 0;
  std::uint16_t Handshaking = 0;    // the word as read
  std::uint16_t ParityReplace = 0;  // a character code
  // "1  'True" or "0  'False", from the flag word.
  std::string DTREnable, NullDiscard, RTSEnable, EOFEnable;
  int InputMode = 0;  // 1 binary, 0 text
};

DecodeEnd ReadStream(DecodeContext& ctx, State& s);
void WriteBlock(BlockWriter& out, const State& s);

}  // namespace tvx::comm
