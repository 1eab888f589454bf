// The common dialog control: extender records around a fixed control block whose presence mask
// selects up to eight counted texts.
#pragma once

#include <cstdint>
#include <span>
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
  // The flag long's bits.
  Read<bool> FontBold, FontItalic, FontStrikeThru, FontUnderLine, CancelError, PrinterDefault;
  Read<std::uint16_t> FromPage, ToPage, Min, Max, Copies, HelpCommand, MaxFileSize, FilterIndex;
  Read<std::uint32_t> Orientation, HelpContext, Flags;
  Read<std::string> FontSize;  // the decoded single-precision size, as listed
  std::uint32_t FontSizeBits = 0;
  Read<std::uint32_t> Color;  // unsigned, the long as read
  // Present only when their bit of the presence mask is set.
  Read<std::string> DefaultExt, DialogTitle, FileName, Filter, FontName, HelpFile, HelpKey, InitDir;
};

DecodeEnd ReadStream(DecodeContext& ctx, State& s);
void WriteBlock(BlockWriter& out, const State& s);
// Every property the block may hold, in the block's order.
std::span<const PropertyEntry> Properties();

}  // namespace tvx::commondialog
