// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
#include "calendar/dataformat.h"

#include <string_view>

#include "tvx/text.h"

namespace tvx {

namespace {

// A 32-bit slot: the first word is the value, the second word is skipped.
std::uint16_t Slot(DecodeContext& ctx) {
  const std::uint16_t word = ctx.ReadWord();
  ctx.ReadWord();
  return word;
}

// A slot stored in a 16-bit signed field (a word above 32767 as word - 65536).
std::int32_t Field16(DecodeContext& ctx) {
  const std::int32_t value = ctx.ReadSignedWord();
  ctx.ReadWord();
  return value;
}

// The 16 bytes before each Boolean text, consumed as eight words.
void SkipGap(DecodeContext& ctx) {
  for (int i = 0; i < 8; ++i)
    ctx.ReadWord();
}

// The format string with every double quote written twice, without enclosing quotes.
std::string Doubled(std::string_view text) {
  const std::string quoted = QuotedValue(text);
  return quoted.substr(1, quoted.size() - 2);
}

// An unknown pair writes the empty block.
enum class BlockKind { kStandard, kBoolean };

struct Row {
  int type;
  int subFormatType;
  std::string_view typeLine;
  enum { kNone, kQuotedFormat, kFormat, kBooleanTexts } detail;
  BlockKind block;
};

constexpr Row kRows[] = {
    {0, 0, "DataFormat, Type: General", Row::kNone, BlockKind::kStandard},
    {1, 0, "DataFormat, Type: Custom", Row::kQuotedFormat, BlockKind::kStandard},
    {1, 1, "DataFormat, Type: Number", Row::kFormat, BlockKind::kStandard},
    {1, 2, "DataFormat, Type: Currency", Row::kFormat, BlockKind::kStandard},
    {1, 3, "DataFormat, Type: Date", Row::kFormat, BlockKind::kStandard},
    {1, 4, "DataFormat Type: Time", Row::kFormat, BlockKind::kStandard},
    {1, 5, "DataFormat, Type: Percentage", Row::kFormat, BlockKind::kStandard},
    {1, 6, "DataFormat Type: Scientific", Row::kFormat, BlockKind::kStandard},
    {2, 9, "DataFormat, Type: Picture", Row::kNone, BlockKind::kStandard},
    {5, 7, "DataFormat, Type: Boolean", Row::kBooleanTexts, BlockKind::kBoolean},
    {4, 8, "DataFormat, Type: Checkbox", Row::kNone, BlockKind::kStandard},
};

const Row* FindRow(const DataFormatRecord& record) {
  for (const Row& row : kRows) {
    if (record.Type == row.type && record.SubFormatType == row.subFormatType) return &row;
  }
  return nullptr;
}

}  // namespace

void ParseDataFormat(DecodeContext& ctx, DataFormatRecord& record) {
  // Offsets 0 to 7: four single bytes and two words, not interpreted.
  for (int i = 0; i < 4; ++i)
    ctx.ReadByte();
  ctx.ReadWord();
  ctx.ReadWord();
  record.Type = Field16(ctx);
  record.FirstDayOfWeek = Field16(ctx);
  record.FirstWeekOfYear = Field16(ctx);
  if (record.Type == 5) {
    const std::uint16_t formatLength = Slot(ctx);
    record.HaveTrueFalseNull = Field16(ctx);
    const std::uint16_t trueLength = Slot(ctx);
    const std::uint16_t falseLength = Slot(ctx);
    const std::uint16_t nullLength = Slot(ctx);
    record.Format = ctx.ReadUtf16LowBytes(formatLength);
    SkipGap(ctx);
    record.TrueValue = ctx.ReadUtf16LowBytes(trueLength);
    SkipGap(ctx);
    record.FalseValue = ctx.ReadUtf16LowBytes(falseLength);
    SkipGap(ctx);
    record.NullValue = ctx.ReadUtf16LowBytes(nullLength);
  } else if (record.Type == 4) {
    // Offsets 20 to 39: the length and HaveTrueFalseNull slots and twelve bytes, all unused.
    Slot(ctx);
    Slot(ctx);
    for (int i = 0; i < 6; ++i)
      ctx.ReadWord();
  } else {
    const std::uint16_t formatLength = Slot(ctx);
    record.HaveTrueFalseNull = Field16(ctx);
    ctx.ReadUtf16LowBytes(6);  // offsets 28 to 39, discarded
    // Stored as read; the quotes are doubled where the Format is written.
    if (formatLength > 0) record.Format = ctx.ReadUtf16LowBytes(formatLength);
  }
  record.LCID = Field16(ctx);
  record.SubFormatType = Field16(ctx);
}

void WriteDataFormatListing(Listing& out, const DataFormatRecord& record) {
  const Row* row = FindRow(record);
  if (row == nullptr) return;
  out.Line(row->typeLine);
  switch (row->detail) {
    case Row::kNone:
      break;
    case Row::kQuotedFormat:
      out.Line("   DataFormat, Format: ", QuotedValue(record.Format));
      break;
    case Row::kFormat:
      out.Line("   DataFormat, Format: ", Doubled(record.Format));
      break;
    case Row::kBooleanTexts:
      out.Line("   DataFormat, TrueValue: ", record.TrueValue);
      out.Line("   DataFormat, FalseValue: ", record.FalseValue);
      out.Line("   DataFormat, NullValue: ", record.NullValue);
      break;
  }
}

void WriteDataFormatBlock(BlockWriter& out, const DataFormatRecord& record) {
  if (record.DataFormatPresent != 1) return;
  const Row* row = FindRow(record);
  out.Raw("BeginProperty DataFormat");
  if (row != nullptr) {
    out.Raw("    Type              = ", NumberChars(record.Type));
    out.Raw("    Format            = ", QuotedValue(record.Format));
    out.Raw("    HaveTrueFalseNull = ", NumberChars(record.HaveTrueFalseNull));
    if (row->block == BlockKind::kBoolean) {
      out.Raw("    TrueValue         = ", record.TrueValue);
      out.Raw("    FalseValue        = ", record.FalseValue);
      out.Raw("    NullValue         = ", record.NullValue);
    }
    out.Raw("    FirstDayOfWeek    = ", NumberChars(record.FirstDayOfWeek));
    out.Raw("    FirstWeekOfYear   = ", NumberChars(record.FirstWeekOfYear));
    out.Raw("    LCID              = ", NumberChars(record.LCID));
    out.Raw("    SubFormatType     = ", NumberChars(record.SubFormatType));
  }
  out.Raw("EndProperty");
}

}  // namespace tvx
