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
  std::uint32_t ExtentX = 0;
  std::uint32_t ExtentY = 0;
  std::uint32_t Version = 0;

  std::int64_t ConnectMode = 0;  // the Mode property
  std::int64_t CursorLocation = 0;
  std::int64_t IsolationLevel = 0;
  std::int64_t ConnectionTimeout = 0;
  std::int64_t CommandTimeout = 0;
  std::int64_t CursorType = 0;
  std::int64_t LockType = 0;
  std::int64_t CommandType = 0;
  std::int64_t CursorOptions = 0;
  std::int64_t CacheSize = 0;
  std::int64_t MaxRecords = 0;
  std::int64_t BOFAction = 0;
  std::int64_t EOFAction = 0;
  std::int64_t ConnectStringType = 0;
  std::int64_t Appearance = 0;
  std::int64_t BackColor = 0;
  std::int64_t ForeColor = 0;
  std::int64_t Orientation = 0;
  std::int64_t Enabled = 0;

  std::string ConnectionString;
  std::string OLEDBString;
  std::string OLEDBFile;
  std::string DataSourceName;
  std::string OtherAttributes;
  std::string UserName;
  std::string Password;
  std::string RecordSource;
  std::string Caption;

  unsigned FontCharset = 0;
  std::uint16_t FontWeight = 0;
  double FontSize = 0;
  std::string FontItalic;
  std::string FontUnderline;
  std::string FontStrikethrough;
  std::string FontName;
};

DecodeEnd ReadStream(DecodeContext& ctx, State& s);
void WriteBlock(BlockWriter& out, const State& s);

}  // namespace tvx::adodc
