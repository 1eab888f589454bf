// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
#include "comm/comm_decoder.h"

#include <cstdint>
#include <string_view>

#include "tvx/extender.h"
#include "tvx/text.h"

namespace tvx::comm {

namespace {

constexpr ExtenderProfile kProfile = IndexTagLeftTop("MSCOMM Parse Error");

// What the flag word's bits store.
constexpr DecodeContext::StoredTexts kTrueFalse = {"1  'True", "0  'False"};

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
  at = ctx.Position();
  const std::uint16_t flags = ctx.ReadWord();
  s.DTREnable = ctx.ListBit(at, flags & 1u, "DTREnable: True", "DTREnable: False", kTrueFalse);
  s.NullDiscard =
      ctx.ListBit(at, flags & 2u, "NullDiscard: True", "NullDiscard: False", kTrueFalse);
  s.RTSEnable = ctx.ListBit(at, flags & 4u, "RTSEnable: True", "RTSEnable: False", kTrueFalse);
  s.EOFEnable = ctx.ListBit(at, flags & 8u, "EOFEnable: True", "EOFEnable: False", kTrueFalse);
  s.InputMode = (flags & 16u) != 0 ? 1 : 0;
  ctx.LineAt(
      at, s.InputMode == 1 ? "InputMode: 1 -comInputModeBinary" : "InputMode: 0 -comInputModeText");
  ctx.ReadWord();
}

}  // namespace

DecodeEnd ReadStream(DecodeContext& ctx, State& s) {
  return ReadFrame(ctx, kProfile, s.ext, [&] { ReadControlBlock(ctx, s); });
}

void WriteBlock(BlockWriter& out, const State& s) {
  out.VersionLine();
  WriteIndexLeftTagTop(out, s.ext);
  WriteExtentAndVersion(out, s.extent);
  out.Number("CommPort", s.CommPort);
  out.Text("DTREnable", s.DTREnable);
  out.Number("Handshaking", s.Handshaking);
  out.Number("InBufferSize", s.InBufferSize);
  out.Number("InputLen", s.InputLen);
  out.Text("NullDiscard", s.NullDiscard);
  out.Number("OutBufferSize", s.OutBufferSize);
  out.Number("ParityReplace", s.ParityReplace);
  out.Number("RThreshold", s.RThreshold);
  out.Text("RTSEnable", s.RTSEnable);
  out.Number("BaudRate", s.BaudRate);
  out.Number("ParitySetting", s.ParitySetting);
  out.Number("DataBits", s.DataBits);
  out.Number("StopBits", s.StopBits);
  out.Number("SThreshold", s.SThreshold);
  out.Text("EOFEnable", s.EOFEnable);
  out.Number("InputMode", s.InputMode);
}

}  // namespace tvx::comm
