#include "words.h"

#include <cstdio>

#include "controls.h"
#include "names.h"
#include "plugin_host.h"
#include "tvx/extender.h"
#include "tvx/text.h"

namespace tvx::render {

namespace {

std::string Hex(std::uint64_t value) {
  char text[20];
  std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
  return text;
}

std::string CodeWords(const core::ExplainedCode& code) {
  std::string what = "code " + std::to_string(code.code);
  switch (code.outcome) {
    case CodeOutcome::kProperty:
    case CodeOutcome::kEndOfSection:
      if (const std::string_view name = ExtenderCodeName(code.code); !name.empty()) {
        what += ": " + std::string(name);
      }
      break;
    case CodeOutcome::kPassedOver:
      what += ": not known to this control, passed over";
      break;
    case CodeOutcome::kStopped:
      what += ": not known to this control";
      break;
  }
  return what;
}

}  // namespace

std::string OffsetText(core::Position position) {
  return "0x" + Hex(position - 1);
}

std::string PlaceText(core::Position position) {
  return std::to_string(position) + " (" + OffsetText(position) + ")";
}

std::string StopText(const core::StopInfo& stop) {
  const std::string at = stop.position ? PlaceText(*stop.position) : "";
  switch (stop.ended) {
    case DecodeEnd::kEndCode:
      return "the stream's end code " + std::to_string(stop.byte) + " at position " + at;
    case DecodeEnd::kEndOfInput:
      return "the file ends before the stream's end code: the next code byte would lie at "
             "position " +
             at + ", past its end";
    case DecodeEnd::kStopLine:
      return "code " + std::to_string(stop.byte) + " at position " + at +
             " is not known to this control in section B: its stop line ends the decode";
    case DecodeEnd::kInvalidRequest:
      return "the request is not valid";
    case DecodeEnd::kNoInput:
      return "the input file cannot be opened";
  }
  return "";
}

std::string_view ReadKindWords(ReadKind kind) {
  switch (kind) {
    case ReadKind::kZeroTerminatedText:
      return "zero-terminated text";
    case ReadKind::kUtf16LowBytes:
      return "UTF-16 text";
    case ReadKind::kControlBlockGap:
      return "control block gap";
    case ReadKind::kPictureHeader:
      return "picture header";
    case ReadKind::kPictureBytes:
      return "picture bytes";
    default:
      return core::ReadKindCode(kind);  // the same word
  }
}

std::string ValueWords(const core::ExplainedValue& v) {
  std::string what;
  if (v.code) {
    what = CodeWords(*v.code);
  } else {
    what = ReadKindWords(v.kind);
    if (v.IsNumber()) {
      what += " " + std::to_string(v.Number());
    } else if (v.IsText()) {
      const core::TextRef text = v.Text();
      if (text.HoldsLongText()) {
        what += " of " + std::to_string(text.Size()) + " characters (its bytes below)";
      } else {
        what += " \"" + std::string(v.text) + "\"";
      }
    } else if (v.kind == ReadKind::kPictureBytes) {
      what += ": " + std::to_string(v.consumed) + " bytes of the picture file";
    }
  }
  if (v.consumed == 0) {
    what += " (past the end of the file)";
  } else if (v.consumed < v.size && v.IsNumber()) {
    what += " (the file ends inside it; the missing bytes count as 0)";
  }
  return what;
}

std::string PartHeading(FramePart part, core::Position at) {
  const std::string from = " from position " + PlaceText(at);
  switch (part) {
    case FramePart::kSectionA:
      return "section A" + from + ": extender codes, up to code 45";
    case FramePart::kControlBlock:
      return "control block" + from + ": the control's own record, read by its decoder";
    case FramePart::kSectionB:
      return "section B" + from + ": extender codes, up to code 255";
  }
  return "";
}

std::string StoppedWords(const core::Explained& e, std::string_view stopLine) {
  if (e.cut) {
    return "after " + Plural(e.values, "value") + ": the rest of the stream was not decoded";
  }
  std::string why;
  const core::StopInfo& stop = e.decode.stop;
  switch (stop.ended) {
    case DecodeEnd::kEndCode:
      why = "end code " + std::to_string(stop.byte);
      break;
    case DecodeEnd::kEndOfInput:
      why = std::string(kUnexpectedEnd) + ": the next code byte would lie past the end of the file";
      break;
    case DecodeEnd::kStopLine:
      why = "stop line \"" + std::string(stopLine) + "\" for code " + std::to_string(stop.byte) +
            ", which this control does not know in section B";
      break;
    case DecodeEnd::kNoInput:
    case DecodeEnd::kInvalidRequest:
      why = StopText(stop);
      break;
  }
  const std::string where = e.values == 0      ? "before reading anything"
                            : e.next > e.start ? "after position " + PlaceText(e.next - 1)
                                               : "without reading a byte of the file";
  return where + ": " + why;
}

std::string Plural(std::uint64_t n, std::string_view word) {
  return std::to_string(n) + " " + std::string(word) + (n == 1 ? "" : "s");
}

std::string Amount(double bytes) {
  static constexpr const char* kUnits[] = {"B", "kB", "MB", "GB", "TB", "PB"};
  std::size_t unit = 0;
  while (bytes >= 999.95 && unit + 1 < std::size(kUnits)) {
    bytes /= 1000;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
  return text;
}

std::string KnownControls() {
  std::string text;
  for (const DeliverableInfo* info : core::Controls()) {
    text += "  " + std::string(info->name) + " (" + std::string(info->classWord);
    if (!info->classNames.empty()) text += "; " + std::string(info->classNames);
    text += ")\n";
  }
  return text;
}

std::string EndWords(int status) {
  return core::EndText(status);
}

}  // namespace tvx::render
