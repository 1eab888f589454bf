// The ADO data control: extender records around a fixed control block that holds the
// connection settings, nine counted texts and the caption font.
#pragma once

#include <string>

#include "tvx/decoder.h"
#include "tvx/extender.h"

namespace tvx {

// Every property of one ADO data control. The extender fields (Align, DragIcon, DragMode,
// Height, Index, Left, Negotiate, Tag, ToolTipText, Top, Visible, WhatsThisHelpID, Width) start
// at their absent values; everything else starts at 0 or the empty text.
struct AdodcProperties : ExtenderProperties {
  double ExtentX = 0;
  double ExtentY = 0;
  double Version = 0;

  double ConnectMode = 0;  // the Mode property
  double CursorLocation = 0;
  double IsolationLevel = 0;
  double ConnectionTimeout = 0;
  double CommandTimeout = 0;
  double CursorType = 0;
  double LockType = 0;
  double CommandType = 0;
  double CursorOptions = 0;
  double CacheSize = 0;
  double MaxRecords = 0;
  double BOFAction = 0;
  double EOFAction = 0;
  double ConnectStringType = 0;
  double Appearance = 0;
  double BackColor = 0;
  double ForeColor = 0;
  double Orientation = 0;
  double Enabled = 0;

  std::string ConnectionString;
  std::string OLEDBString;
  std::string OLEDBFile;
  std::string DataSourceName;
  std::string OtherAttributes;
  std::string UserName;
  std::string Password;
  std::string RecordSource;
  std::string Caption;

  double FontCharset = 0;
  double FontWeight = 0;
  double FontSize = 0;
  std::string FontItalic;
  std::string FontUnderline;
  std::string FontStrikethrough;
  std::string FontName;
};

class AdodcDecoder final : public Decoder {
 public:
  static const DeliverableInfo kInfo;

  const DeliverableInfo& Info() const override { return kInfo; }
  void InitProperties() override;
  void ParseControl(DecodeContext& ctx) override;
  void WriteToFile(BlockWriter& out) const override;

  const AdodcProperties& Properties() const { return props_; }

 private:
  void ReadControlBlock(DecodeContext& ctx);
  void ReadCountedTexts(DecodeContext& ctx);
  void ReadFont(DecodeContext& ctx);

  AdodcProperties props_;
};

}  // namespace tvx
