// What a decode tells an observer as it happens: every primitive read, the parts of the stream's
// frame and each code byte with what it did, and every listing line. The plug-ins decode without
// an observer; the tools attach one to show where each value came from.
#pragma once

#include <cstdint>
#include <string_view>

namespace tvx {

// What a primitive read took from the stream.
enum class ReadKind : std::uint8_t {
  kByte,                // a number, 1 byte
  kWord,                // a number, 2 bytes little-endian
  kLong,                // a number, 4 bytes little-endian
  kZeroTerminatedText,  // the bytes up to a zero byte, which is consumed too
  kText,                // n bytes, one character each
  kUtf16LowBytes,       // n 16-bit units, of each the low byte as a character
  kSkipped,             // bytes passed over without being interpreted
  kControlBlockGap,     // bytes between a control block's fields, passed over
  kPictureHeader,       // a picture record's header, passed over
  kPictureBytes,        // a picture record's image, copied as it is
};

struct ReadEvent {
  ReadKind kind = ReadKind::kByte;
  double position = 0;       // the 1-based file position of its first byte
  std::uint64_t size = 0;    // the bytes it covers (for a zero-terminated text, those it consumed)
  std::uint64_t count = 0;   // of them, the bytes the file holds: fewer only at the file's end
  std::uint32_t number = 0;  // a number's value (past the end of the file its bytes count as 0)
  std::string_view text;     // a text's characters
  bool isSigned = false;     // the number is read as two's complement (kWord, kLong)
};

// The parts of every stream's frame, in stream order.
enum class FramePart : std::uint8_t {
  kSectionA,      // extender code records up to code 45
  kControlBlock,  // the control's own record, read by its decoder
  kSectionB,      // extender code records up to code 255
};

// What a section's code byte did.
enum class CodeOutcome : std::uint8_t {
  kProperty,      // a code the control knows: its value's reads follow
  kPassedOver,    // a code the control does not know: only its code byte is consumed
  kStopped,       // a section B code the control does not know: its stop line ends the decode
  kEndOfSection,  // code 45 ends section A; code 255 ends section B and the stream
};

struct CodeEvent {
  double position = 0;  // the code byte's position
  int code = 0;
  FramePart section = FramePart::kSectionA;
  CodeOutcome outcome = CodeOutcome::kProperty;
};

class DecodeObserver {
 public:
  virtual ~DecodeObserver() = default;
  virtual void OnRead(const ReadEvent& /*read*/) {}
  // A part of the frame starts at `position`; nothing is read by it.
  virtual void OnFramePart(double /*position*/, FramePart /*part*/) {}
  // Just after the code byte's own read, before the reads of the value it introduces.
  virtual void OnCode(const CodeEvent& /*code*/) {}
  // The section's next code byte would lie at `position`, past the end of the file: the decode
  // ends there ("Unexpected end of file").
  virtual void OnInputEnded(double /*position*/, FramePart /*section*/) {}
  virtual void OnListingLine(std::string_view /*line*/) {}
};

}  // namespace tvx
