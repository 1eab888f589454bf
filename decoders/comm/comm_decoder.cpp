// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
#include "comm/comm_decoder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tvx/extender.h"
#include "tvx/text.h"

namespace tvx::comm {

namespace {

constexpr ExtenderProfile kProfile = IndexTagLeftTop("MSCOMM Parse Error");

std::string_view ParityLine(std::uint16_t parity) {
  if (parity == 0) return "Parity: None";
  if (parity == 1) return "Parity: Odd";
  return "Parity: Even";
}

std::string_view HandshakingLine(std::uint16_t handshaking) {
  if (handshaking == 0) return "Handshaking: 0 - comNone";
  if (handshaking == 1) return "Handshaking: 1 - comXOnXoff";
  if (handshaking == 2) return "Handshaking: 2 - comRTS";
  return "Handshaking: 3 - comRTSXOnXoff";
}

// What each control-block property is.
constexpr Constant kHandshakes[] = {
    {0, "comNone"}, {1, "comXOnXoff"}, {2, "comRTS"}, {3, "comRTSXOnXoff"}};
constexpr Constant kInputModes[] = {{0, "comInputModeText"}, {1, "comInputModeBinary"}};
// The parity as the Settings text spells it.
constexpr Constant kParities[] = {{0, "n"}, {1, "o"}, {2, "e"}, {3, "m"}, {4, "s"}};

using T = PropertyType;
constexpr PropertyDef kCommPort = {
    "CommPort", T::kInteger, {}, "the serial port's number", "control block offset 34: a word"};
constexpr PropertyDef kDTREnable = {"DTREnable",
                                    T::kBoolean,
                                    {},
                                    "whether Data Terminal Ready is raised",
                                    "control block offset 64, the flag word: bit 0x01"};
constexpr PropertyDef kHandshaking = {"Handshaking", T::kEnumerated, kHandshakes,
                                      "the flow control", "control block offset 56: a word"};
constexpr PropertyDef kInBufferSize = {"InBufferSize",
                                       T::kInteger,
                                       {},
                                       "the receive buffer's size in bytes",
                                       "control block offset 36: a word"};
constexpr PropertyDef kInputLen = {"InputLen",
                                   T::kInteger,
                                   {},
                                   "characters one read takes (0: all)",
                                   "control block offset 38: a word"};
constexpr PropertyDef kNullDiscard = {"NullDiscard",
                                      T::kBoolean,
                                      {},
                                      "whether zero bytes received are dropped",
                                      "control block offset 64, the flag word: bit 0x02"};
constexpr PropertyDef kOutBufferSize = {"OutBufferSize",
                                        T::kInteger,
                                        {},
                                        "the send buffer's size in bytes",
                                        "control block offset 40: a word"};
constexpr PropertyDef kParityReplace = {
    "ParityReplace",
    T::kInteger,
    {},
    "the code of the character that replaces one received with a parity error",
    "control block offset 60: a word"};
constexpr PropertyDef kRThreshold = {"RThreshold",
                                     T::kInteger,
                                     {},
                                     "characters received before the receive event",
                                     "control block offset 42: a word"};
constexpr PropertyDef kRTSEnable = {"RTSEnable",
                                    T::kBoolean,
                                    {},
                                    "whether Request To Send is raised",
                                    "control block offset 64, the flag word: bit 0x04"};
constexpr PropertyDef kBaudRate = {
    "BaudRate", T::kInteger, {}, "the speed, in bits a second", "control block offset 44: a long"};
constexpr PropertyDef kParitySetting = {"ParitySetting", T::kEnumerated, kParities,
                                        "the parity: n none, o odd, e even, m mark, s space",
                                        "control block offset 48: a word"};
constexpr PropertyDef kDataBits = {
    "DataBits", T::kInteger, {}, "data bits a character", "control block offset 50: a word"};
constexpr PropertyDef kStopBits = {
    "StopBits", T::kInteger, {}, "stop bits a character", "control block offset 52: a word"};
constexpr PropertyDef kSThreshold = {"SThreshold",
                                     T::kInteger,
                                     {},
                                     "characters left to send before the send event",
                                     "control block offset 32: a word"};
constexpr PropertyDef kEOFEnable = {"EOFEnable",
                                    T::kBoolean,
                                    {},
                                    "whether an end-of-file character ends the input",
                                    "control block offset 64, the flag word: bit 0x08"};
constexpr PropertyDef kInputMode = {"InputMode", T::kEnumerated, kInputModes,
                                    "whether input is read as text or as bytes",
                                    "control block offset 64, the flag word: bit 0x10"};
constexpr PropertyDef kSettings = {
    "Settings",
    T::kText,
    {},
    "speed, parity, data bits and stop bits in one text, as the control's Settings takes them "
    "(none when the parity is not one of n, o, e, m, s)",
    "made from BaudRate, ParitySetting, DataBits and StopBits"};

void ReadControlBlock(DecodeContext& ctx, State& s) {
  ReadExtentAndVersion(ctx, s.extent);
  s.SThreshold = ctx.ListWord("SThreshold: ");
  s.CommPort = ctx.ListWord("CommPort: ");
  s.InBufferSize = ctx.ListWord("InBufferSize: ");
  s.InputLen = ctx.ListWord("InputLen: ");
  s.OutBufferSize = ctx.ListWord("OutBufferSize: ");
  s.RThreshold = ctx.ListWord("RThreshold: ");
  s.BaudRate = ctx.ListLong("BaudRate: ");
  double at = ctx.Position();
  s.ParitySetting = ctx.ReadWord();
  ctx.LineAt(at, ParityLine(s.ParitySetting));
  s.DataBits = ctx.ListWord("NumberOfBits:");
  s.StopBits = ctx.ListWord("NumberOfStopBits: ");
  ctx.ReadWord();
  at = ctx.Position();
  s.Handshaking = ctx.ReadWord();
  ctx.LineAt(at, HandshakingLine(s.Handshaking));
  ctx.ReadWord();
  // Listed as its character; a code above 255 shows the character of its low byte.
  at = ctx.Position();
  s.ParityReplace = ctx.ReadWord();
  const char replace[] = {static_cast<char>(s.ParityReplace & 0xFFu)};
  ctx.LineAt(at, "ParityReplace: ", std::string_view(replace, 1));
  ctx.ReadWord();
  // Flag word: five properties, one bit each, all listed at the position of the word.
  const Read<std::uint16_t> flags = ctx.ReadWord();
  s.DTREnable = ctx.ListBit(flags, 1u, "DTREnable: True", "DTREnable: False");
  s.NullDiscard = ctx.ListBit(flags, 2u, "NullDiscard: True", "NullDiscard: False");
  s.RTSEnable = ctx.ListBit(flags, 4u, "RTSEnable: True", "RTSEnable: False");
  s.EOFEnable = ctx.ListBit(flags, 8u, "EOFEnable: True", "EOFEnable: False");
  s.InputMode =
      ctx.ListBit(flags, 16u, "InputMode: 1 -comInputModeBinary", "InputMode: 0 -comInputModeText");
  ctx.ReadWord();
}

void WriteFlag(BlockWriter& out, const PropertyDef& def, const Read<bool>& flag) {
  out.Flag(def, flag, "1  'True", "0  'False");
}

// "9600,n,8,1": the settings as users give them, where the parity has a letter.
void WriteSettings(BlockWriter& out, const State& s) {
  const std::optional<std::string_view> parity = ConstantName(kParitySetting, s.ParitySetting);
  if (!parity) return;
  std::string text = NumberText(s.BaudRate);
  text.append(",").append(*parity).append(",").append(NumberText(s.DataBits));
  text.append(",").append(NumberText(s.StopBits));
  out.Derived(kSettings, std::string_view(text), text,
              s.BaudRate.from + s.ParitySetting.from + s.DataBits.from + s.StopBits.from);
}

constexpr PropertyEntry kOwn[] = {
    {&kCommPort},    {&kDTREnable},     {&kHandshaking},   {&kInBufferSize}, {&kInputLen},
    {&kNullDiscard}, {&kOutBufferSize}, {&kParityReplace}, {&kRThreshold},   {&kRTSEnable},
    {&kBaudRate},    {&kParitySetting}, {&kDataBits},      {&kStopBits},     {&kSThreshold},
    {&kEOFEnable},   {&kInputMode},     {&kSettings}};

}  // namespace

DecodeEnd ReadStream(DecodeContext& ctx, State& s) {
  return ReadFrame(ctx, kProfile, s.ext, [&] { ReadControlBlock(ctx, s); });
}

void WriteBlock(BlockWriter& out, const State& s) {
  out.VersionLine();
  WriteIndexLeftTagTop(out, s.ext);
  WriteExtentAndVersion(out, s.extent);
  out.Number(kCommPort, s.CommPort);
  WriteFlag(out, kDTREnable, s.DTREnable);
  out.Number(kHandshaking, s.Handshaking);
  out.Number(kInBufferSize, s.InBufferSize);
  out.Number(kInputLen, s.InputLen);
  WriteFlag(out, kNullDiscard, s.NullDiscard);
  out.Number(kOutBufferSize, s.OutBufferSize);
  // The character itself, which users know it as; only a code up to 255 is one.
  const char replace[] = {static_cast<char>(s.ParityReplace & 0xFFu)};
  const ShortText code = NumberChars(s.ParityReplace);
  out.Shown(kParityReplace, code, std::int64_t{s.ParityReplace}, s.ParityReplace.from, std::nullopt,
            s.ParityReplace <= 0xFF ? std::string_view(replace, 1) : std::string_view());
  out.Number(kRThreshold, s.RThreshold);
  WriteFlag(out, kRTSEnable, s.RTSEnable);
  out.Number(kBaudRate, s.BaudRate);
  out.Number(kParitySetting, s.ParitySetting);
  out.Number(kDataBits, s.DataBits);
  out.Number(kStopBits, s.StopBits);
  out.Number(kSThreshold, s.SThreshold);
  WriteFlag(out, kEOFEnable, s.EOFEnable);
  out.Shown(kInputMode, s.InputMode ? "1" : "0", std::int64_t{s.InputMode ? 1 : 0},
            s.InputMode.from);
  WriteSettings(out, s);
}

std::span<const PropertyEntry> Properties() {
  static const std::vector<PropertyEntry> all =
      JoinedEntries({kIndexLeftTagTop, kExtentAndVersion, kOwn});
  return all;
}

}  // namespace tvx::comm
