// The animated agent character control: extender records around a short control block.
#pragma once

#include "tvx/decoder.h"
#include "tvx/extender.h"

namespace tvx {

class AgentDecoder final : public Decoder {
 public:
  static const DeliverableInfo kInfo;

  const DeliverableInfo& Info() const override { return kInfo; }
  void InitProperties() override;
  void ParseControl(DecodeContext& ctx) override;
  void WriteToFile(BlockWriter& out) const override;

 private:
  ExtenderProperties ext_;
  double cx_ = 0;
  double cy_ = 0;
};

}  // namespace tvx
