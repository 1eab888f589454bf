// The common dialog control: extender records around a fixed control block whose presence mask
// selects up to eight counted texts.
#pragma once

#include <cstdint>
#include <string>

#include "tvx/decoder.h"
#include "tvx/extender.h"

// The decoder is State, the stream reader ReadStream and the block writer WriteBlock; the
// build joins them into the deliverable's program and the registry of the tools.
namespace tvx::commondialog {

// Who this deliverable is; the host matches the caption byte for byte.
inline constexpr DeliverableInfo kInfo = {"STDPICK.Picker", "CommonDialog",
                                          "Tevo Support Library (CommonDialog)", 18,
                                          "MSComDlg.CommonDialog"};

struct State {
  ExtenderProperties ext;
  ExtentAndVersion extent;
  // "-1 'True" or "0 'False", from the flag long.
  std::string FontBold, FontItalic, FontStrikeThru, FontUnderLine, CancelError, PrinterDefault;
  std::uint16_t FromPage = 0, ToPage = 0, Min = 0, Max = 0, Copies = 0, HelpCommand = 0,
                MaxFileSize = 0, FilterIndex = 0;
  std::uint32_t Orientation = 0, HelpContext = 0, Flags = 0;
  std::string FontSize;     // the decoded single-precision size, as listed
  std::uint32_t Color = 0;  // unsigned, the long as read
  // Present only when their bit of the presence mask is set.
  std::string DefaultExt, DialogTitle, FileName, Filter, FontName, HelpFile, HelpKey, InitDir;
};

DecodeEnd ReadStream(DecodeContext& ctx, State& s);
void WriteBlock(BlockWriter& out, const State& s);

}  // namespace tvx::commondialog
