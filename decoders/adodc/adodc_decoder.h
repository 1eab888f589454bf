// The ADO data control: extender records around a fixed control block that holds the
// connection settings, nine counted texts and the caption font.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "tvx/decoder.h"
#include "tvx/extender.h"
#include "tvx/font.h"

// The decoder is State, the stream reader ReadStream and the block writer WriteBlock; the
// build joins them into the deliverable's program and the registry of the tools.
namespace tvx::adodc {

// Who this deliverable is; the host matches the caption byte for byte.
inline constexpr DeliverableInfo kInfo = {"RECNAV.Navigator", "Adodc",
                                          "Tevo Support Library (Adodc)", 18, "MSAdodcLib.Adodc"};

// Every property of one ADO data control, with the bytes it came from. The extender fields
// start at their absent values; everything else starts at 0 or the empty text.
struct State {
  ExtenderProperties ext;
  Read<std::uint32_t> ExtentX, ExtentY, Version;
  // The connection settings, the longs as read, in stream order; ConnectMode is the Mode
  // property. Some stand for -1 with all bits set.
  Read<std::uint32_t> ConnectMode, CursorLocation, IsolationLevel, ConnectionTimeout,
      CommandTimeout, CursorType, LockType, CommandType, CursorOptions, CacheSize, MaxRecords,
      BOFAction, EOFAction, ConnectStringType, Appearance, BackColor, ForeColor, Orientation,
      Enabled;
  // The nine counted texts, in stream order.
  Read<std::string> ConnectionString, OLEDBString, OLEDBFile, DataSourceName, OtherAttributes,
      UserName, Password, RecordSource, Caption;
  FontRecord Font;  // the caption font
};

DecodeEnd ReadStream(DecodeContext& ctx, State& s);
void WriteBlock(BlockWriter& out, const State& s);
// Every property the block may hold, in the block's order.
std::span<const PropertyEntry> Properties();

}  // namespace tvx::adodc
