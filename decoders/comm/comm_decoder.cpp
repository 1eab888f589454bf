#include "comm/comm_decoder.h"

#include <cstdint>
#include <string_view>

#include "tvx/text.h"

namespace tvx {

const DeliverableInfo CommDecoder::kInfo = {"SERLINK.SerialLink", "MSComm",
                                            "Tevo Support Library (MSComm)", 18};

namespace {

const ExtenderProfile kProfile = {
    .sectionA = Codes({1, 11}),
    .sectionB = Codes({57, 58}),
    .stopLine = "MSCOMM Parse Error",
};

constexpr std::string_view kTrue = "1  'True";
constexpr std::string_view kFalse = "0  'False";

std::string_view ParityLine(double parity) {
  if (parity == 0) return "Parity: None";
  if (parity == 1) return "Parity: Odd";
  return "Parity: Even";
}

std::string_view HandshakingLine(double handshaking) {
  if (handshaking == 0) return "Handshaking: 0 - comNone";
  if (handshaking == 1) return "Handshaking: 1 - comXOnXoff";
  if (handshaking == 2) return "Handshaking: 2 - comRTS";
  return "Handshaking: 3 - comRTSXOnXoff";
}

}  // namespace

// Every variable back to its new-process value: numbers 0, texts empty, extender values absent.
void CommDecoder::InitProperties() {
  *this = CommDecoder{};
}

void CommDecoder::ParseControl(DecodeContext& ctx) {
  if (ReadSectionA(ctx, kProfile, ext_) != SectionEnd::kEndCode) return;
  ReadControlBlock(ctx);
  ReadSectionB(ctx, kProfile, ext_);
}

void CommDecoder::ReadControlBlock(DecodeContext& ctx) {
  for (int i = 0; i < 8; ++i)
    ctx.GetWord();  // header
  ExtentX = ctx.GetLong();
  ExtentY = ctx.GetLong();
  ctx.GetLong();
  Version = NumberText(ctx.GetLong());

  struct WordItem {
    double* value;
    std::string_view label;
  };
  const WordItem words[] = {
      {&SThreshold, "SThreshold: "},       {&CommPort, "CommPort: "},
      {&InBufferSize, "InBufferSize: "},   {&InputLen, "InputLen: "},
      {&OutBufferSize, "OutBufferSize: "}, {&RThreshold, "RThreshold: "},
  };
  for (const WordItem& item : words) {
    ctx.MarkOffset();
    *item.value = ctx.GetWord();
    ctx.LineWithOffset(item.label, NumberChars(*item.value));
  }

  ctx.MarkOffset();
  BaudRate = ctx.GetLong();
  ctx.LineWithOffset("BaudRate: ", NumberChars(BaudRate));

  ctx.MarkOffset();
  ParitySetting = ctx.GetWord();
  ctx.LineWithOffset(ParityLine(ParitySetting));

  ctx.MarkOffset();
  DataBits = ctx.GetWord();
  ctx.LineWithOffset("NumberOfBits:", NumberChars(DataBits));

  ctx.MarkOffset();
  StopBits = ctx.GetWord();
  ctx.LineWithOffset("NumberOfStopBits: ", NumberChars(StopBits));

  ctx.GetWord();

  ctx.MarkOffset();
  Handshaking = ctx.GetWord();
  ctx.LineWithOffset(HandshakingLine(Handshaking));

  ctx.GetWord();

  // Listed as its character; a code above 255 shows the character of its low byte.
  ctx.MarkOffset();
  ParityReplace = ctx.GetWord();
  std::string replaceLine = "ParityReplace: ";
  replaceLine.push_back(static_cast<char>(static_cast<std::uint32_t>(ParityReplace) & 0xFFu));
  ctx.LineWithOffset(replaceLine);

  ctx.GetWord();

  // Flag word: five properties, one bit each, all listed at the position of the word.
  ctx.MarkOffset();
  const auto flags = static_cast<std::uint32_t>(ctx.GetWord());
  struct FlagBit {
    std::string* value;
    std::string_view setLine;
    std::string_view clearLine;
  };
  const FlagBit flagBits[] = {
      {&DTREnable, "DTREnable: True", "DTREnable: False"},
      {&NullDiscard, "NullDiscard: True", "NullDiscard: False"},
      {&RTSEnable, "RTSEnable: True", "RTSEnable: False"},
      {&EOFEnable, "EOFEnable: True", "EOFEnable: False"},
  };
  unsigned bit = 0;
  for (const FlagBit& flag : flagBits) {
    const bool set = (flags >> bit++) & 1u;
    *flag.value = set ? kTrue : kFalse;
    ctx.LineWithOffset(set ? flag.setLine : flag.clearLine);
  }
  const bool binary = (flags >> 4) & 1u;
  InputMode = binary ? 1 : 0;
  ctx.LineWithOffset(binary ? "InputMode: 1 -comInputModeBinary"
                            : "InputMode: 0 -comInputModeText");

  ctx.GetWord();
}

void CommDecoder::WriteToFile(BlockWriter& out) const {
  out.VersionLine();
  out.NumberIfSet("Index", ext_.Index);
  out.NumberIfSet("Left", ext_.Left);
  out.QuotedIfSet("Tag", ext_.Tag);
  out.NumberIfSet("Top", ext_.Top);
  out.Number("_ExtentX", ExtentX);
  out.Number("_ExtentY", ExtentY);
  out.Text("_Version", Version);
  out.Number("CommPort", CommPort);
  out.Text("DTREnable", DTREnable);
  out.Number("Handshaking", Handshaking);
  out.Number("InBufferSize", InBufferSize);
  out.Number("InputLen", InputLen);
  out.Text("NullDiscard", NullDiscard);
  out.Number("OutBufferSize", OutBufferSize);
  out.Number("ParityReplace", ParityReplace);
  out.Number("RThreshold", RThreshold);
  out.Text("RTSEnable", RTSEnable);
  out.Number("BaudRate", BaudRate);
  out.Number("ParitySetting", ParitySetting);
  out.Number("DataBits", DataBits);
  out.Number("StopBits", StopBits);
  out.Number("SThreshold", SThreshold);
  out.Text("EOFEnable", EOFEnable);
  out.Number("InputMode", InputMode);
}

}  // namespace tvx
