#include "codes.h"

namespace tvx::render {

std::string_view StopCode(DecodeEnd ended) {
  switch (ended) {
    case DecodeEnd::kEndCode:
      return "end_code";
    case DecodeEnd::kEndOfInput:
      return "input_ended";
    case DecodeEnd::kStopLine:
      return "stopped_by_stream";
    case DecodeEnd::kInvalidRequest:
      return "invalid_request";
    case DecodeEnd::kNoInput:
      return "input_not_opened";
  }
  return "";
}

std::string_view ReadKindCode(ReadKind kind) {
  switch (kind) {
    case ReadKind::kByte:
      return "byte";
    case ReadKind::kWord:
      return "word";
    case ReadKind::kLong:
      return "long";
    case ReadKind::kZeroTerminatedText:
      return "zero_terminated_text";
    case ReadKind::kText:
      return "text";
    case ReadKind::kUtf16LowBytes:
      return "utf16_text";
    case ReadKind::kSkipped:
      return "skipped";
    case ReadKind::kControlBlockGap:
      return "control_block_gap";
    case ReadKind::kPictureHeader:
      return "picture_header";
    case ReadKind::kPictureBytes:
      return "picture_bytes";
  }
  return "";
}

std::string_view FramePartCode(FramePart part) {
  switch (part) {
    case FramePart::kSectionA:
      return "section_a";
    case FramePart::kControlBlock:
      return "control_block";
    case FramePart::kSectionB:
      return "section_b";
  }
  return "";
}

std::string_view CodeOutcomeCode(CodeOutcome outcome) {
  switch (outcome) {
    case CodeOutcome::kProperty:
      return "property";
    case CodeOutcome::kPassedOver:
      return "passed_over";
    case CodeOutcome::kStopped:
      return "stopped";
    case CodeOutcome::kEndOfSection:
      return "end_of_section";
  }
  return "";
}

std::string_view LineSourceCode(core::LineSource source) {
  switch (source) {
    case core::LineSource::kValues:
      return "reads";
    case core::LineSource::kStartValue:
      return "start_value";
    case core::LineSource::kNotTraced:
      return "not_traced";
    case core::LineSource::kNotLinked:
      return "not_linked";
  }
  return "";
}

}  // namespace tvx::render
