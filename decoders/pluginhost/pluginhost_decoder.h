// The plug-in host control: the extender records of a visible control around its extent.
#pragma once

#include "tvx/decoder.h"
#include "tvx/extender.h"

namespace tvx {

class PluginHostDecoder final : public Decoder {
 public:
  static const DeliverableInfo kInfo;

  const DeliverableInfo& Info() const override { return kInfo; }
  void InitProperties() override;
  void ParseControl(DecodeContext& ctx) override;
  void WriteToFile(BlockWriter& out) const override;

 private:
  ExtenderProperties ext_;
  double extentX_ = 0;
  double extentY_ = 0;
};

}  // namespace tvx
