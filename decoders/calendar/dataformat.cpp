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

// A slot stored in a 16-bit signed field (a word above 32767 as word - 65536), from its first
// word's bytes.
Read<std::int32_t> Field16(DecodeContext& ctx) {
  const Read<std::int32_t> value = ctx.ReadSignedWord();
  ctx.ReadWord();
  return value;
}

using T = PropertyType;
constexpr PropertyDef kDataFormat = {"DataFormat",
                                     T::kGroup,
                                     {},
                                     "how the bound value is formatted",
                                     "section A, code 41: a sub-record of slots and counted texts"};
constexpr PropertyDef kType = {
    "Type", T::kInteger, {}, "the kind of format", "sub-record offset 8: a 16-bit signed slot"};
constexpr PropertyDef kFormat = {
    "Format", T::kText, {}, "the format text", "sub-record: UTF-16 units after the slots"};
constexpr PropertyDef kHaveTrueFalseNull = {"HaveTrueFalseNull",
                                            T::kInteger,
                                            {},
                                            "whether the Boolean texts are given",
                                            "sub-record offset 24: a 16-bit signed slot"};
constexpr PropertyDef kTrueValue = {"TrueValue",
                                    T::kText,
                                    {},
                                    "the text for True",
                                    "Boolean format: UTF-16 units after the format"};
constexpr PropertyDef kFalseValue = {"FalseValue",
                                     T::kText,
                                     {},
                                     "the text for False",
                                     "Boolean format: UTF-16 units after TrueValue"};
constexpr PropertyDef kNullValue = {"NullValue",
                                    T::kText,
                                    {},
                                    "the text for Null",
                                    "Boolean format: UTF-16 units after FalseValue"};
constexpr PropertyDef kFirstDayOfWeek = {"FirstDayOfWeek",
                                         T::kInteger,
                                         {},
                                         "the first day of the week for dates",
                                         "sub-record offset 12: a 16-bit signed slot"};
constexpr PropertyDef kFirstWeekOfYear = {"FirstWeekOfYear",
                                          T::kInteger,
                                          {},
                                          "the first week of the year for dates",
                                          "sub-record offset 16: a 16-bit signed slot"};
constexpr PropertyDef kLCID = {
    "LCID", T::kInteger, {}, "the locale", "sub-record, after the texts: a 16-bit signed slot"};
constexpr PropertyDef kSubFormatType = {"SubFormatType",
                                        T::kInteger,
                                        {},
                                        "the kind of format within Type",
                                        "sub-record, after LCID: a 16-bit signed slot"};

const PropertyEntry kProperties[] = {
    {&kDataFormat},
    {&kType, &kDataFormat},
    {&kFormat, &kDataFormat},
    {&kHaveTrueFalseNull, &kDataFormat},
    {&kTrueValue, &kDataFormat},
    {&kFalseValue, &kDataFormat},
    {&kNullValue, &kDataFormat},
    {&kFirstDayOfWeek, &kDataFormat},
    {&kFirstWeekOfYear, &kDataFormat},
    {&kLCID, &kDataFormat},
    {&kSubFormatType, &kDataFormat},
};

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
  const double at = ctx.Position();
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
  record.record = ctx.Since(at);
}

std::span<const PropertyEntry> DataFormatProperties() {
  return kProperties;
}

void WriteDataFormatListing(Listing& out, const DataFormatRecord& record) {
  const Row* row = FindRow(record);
  if (row == nullptr) return;
  out.Line(row->typeLine);
  switch (row->detail) {
    case Row::kNone:
      break;
    case Row::kQuotedFormat:
      out.Line("   DataFormat, Format: ", QuotedValue(record.Format.value));
      break;
    case Row::kFormat:
      out.Line("   DataFormat, Format: ", Doubled(record.Format.value));
      break;
    case Row::kBooleanTexts:
      out.Line("   DataFormat, TrueValue: ", record.TrueValue.value);
      out.Line("   DataFormat, FalseValue: ", record.FalseValue.value);
      out.Line("   DataFormat, NullValue: ", record.NullValue.value);
      break;
  }
}

void WriteDataFormatBlock(BlockWriter& out, const DataFormatRecord& record) {
  if (record.DataFormatPresent != 1) return;
  const Row* row = FindRow(record);
  out.BeginGroup(kDataFormat, 4, 18, record.record);
  if (row != nullptr) {
    out.Number(kType, record.Type);
    out.Quoted(kFormat, record.Format);
    out.Number(kHaveTrueFalseNull, record.HaveTrueFalseNull);
    if (row->block == BlockKind::kBoolean) {
      out.Text(kTrueValue, record.TrueValue);
      out.Text(kFalseValue, record.FalseValue);
      out.Text(kNullValue, record.NullValue);
    }
    out.Number(kFirstDayOfWeek, record.FirstDayOfWeek);
    out.Number(kFirstWeekOfYear, record.FirstWeekOfYear);
    out.Number(kLCID, record.LCID);
    out.Number(kSubFormatType, record.SubFormatType);
  }
  out.EndGroup();
}

}  // namespace tvx
