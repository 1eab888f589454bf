// The serial communications control: extender records around a fixed control block of settings
// and a flag word.
#pragma once

#include <string>

#include "tvx/decoder.h"
#include "tvx/extender.h"

namespace tvx {

class CommDecoder final : public Decoder {
 public:
  static const DeliverableInfo kInfo;

  const DeliverableInfo& Info() const override { return kInfo; }
  void InitProperties() override;
  void ParseControl(DecodeContext& ctx) override;
  void WriteToFile(BlockWriter& out) const override;

 private:
  void ReadControlBlock(DecodeContext& ctx);

  ExtenderProperties ext_;
  double ExtentX = 0;
  double ExtentY = 0;
  std::string Version;
  double SThreshold = 0;
  double CommPort = 0;
  double InBufferSize = 0;
  double InputLen = 0;
  double OutBufferSize = 0;
  double RThreshold = 0;
  double BaudRate = 0;
  double ParitySetting = 0;  // the parity word as read
  double DataBits = 0;
  double StopBits = 0;
  double Handshaking = 0;    // the word as read
  double ParityReplace = 0;  // a character code
  // "1  'True" or "0  'False", from the flag word.
  std::string DTREnable;
  std::string NullDiscard;
  std::string RTSEnable;
  std::string EOFEnable;
  double InputMode = 0;  // 1 binary, 0 text
};

}  // namespace tvx
