// The ADO data control: extender records around a fixed control block that holds the
// connection settings, nine counted texts and the caption font.
#pragma once

#include <cstdint>
#include <string>

#include "tvx/decoder.h"
#include "tvx/extender.h"

// The decoder is State, the stream reader ReadStream and the block writer WriteBlock; the
// build joins them into the deliverable's program and the registry of the tools.
namespace tvx::adodc {

// Who this deliverable is; the host matches the caption byte for byte.
inline constexpr DeliverableInfo kInfo = {"RECNAV.Navigator", "Adodc",
                                          "Tevo Support Library (Adodc)", 18, "MSAdodcLib.Adodc"};

// Every property of one ADO data control. The extender fields start at their absent values;
// everything else starts at 0 or the empty text. The longs are held signed: some store
// all bits set as -1.
struct State {
  ExtenderProperties ext;
  std::uint32_t ExtentX = 0, ExtentY = 0, Version = 0;
  // The connection settings, in stream order; ConnectMode is the Mode property.
  std::int64_t ConnectMode = 0, CursorLocation = 0, IsolationLevel = 0, ConnectionTimeout = 0,
               CommandTimeout = 0, CursorType = 0, LockType = 0, CommandType = 0, CursorOptions = 0,
               CacheSize = 0, MaxRecords = 0, BOFAction = 0, EOFAction = 0, ConnectStringType = 0,
               Appearance = 0, BackColor = 0, ForeColor = 0, Orientation = 0, Enabled = 0;
  // The nine counted texts, in stream order.
  std::string ConnectionString, OLEDBString, OLEDBFile, DataSourceName, OtherAttributes, UserName,
      Password, RecordSource, Caption;
  // The caption font.
  unsigned FontCharset = 0;
  std::uint16_t FontWeight = 0;
  double FontSize = 0;
  std::string FontItalic, FontUnderline, FontStrikethrough, FontName;
};

DecodeEnd ReadStream(DecodeContext& ctx, State& s);
void WriteBlock(BlockWriter& out, const State& s);

}  // namespace tvx::adodc
