// The common dialog control: extender records around a fixed control block whose presence mask
// selects up to eight counted texts.
#pragma once

#include <string>

#include "tvx/decoder.h"
#include "tvx/extender.h"

namespace tvx {

class CommonDialogDecoder final : public Decoder {
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
  // "-1 'True" or "0 'False", from the flag long.
  std::string FontBold;
  std::string FontItalic;
  std::string FontStrikeThru;
  std::string FontUnderLine;
  std::string CancelError;
  std::string PrinterDefault;
  double FromPage = 0;
  double ToPage = 0;
  double Min = 0;
  double Max = 0;
  double Copies = 0;
  double HelpCommand = 0;
  double MaxFileSize = 0;
  double FilterIndex = 0;
  double Orientation = 0;
  double HelpContext = 0;
  double Flags = 0;
  std::string FontSize;  // the decoded single-precision size, as listed
  double Color = 0;      // unsigned, the long as read
  // Present only when their bit of the presence mask is set.
  std::string DefaultExt;
  std::string DialogTitle;
  std::string FileName;
  std::string Filter;
  std::string FontName;
  std::string HelpFile;
  std::string HelpKey;
  std::string InitDir;
};

}  // namespace tvx
