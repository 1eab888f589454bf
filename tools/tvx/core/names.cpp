#include "names.h"

namespace tvx::core {

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

std::string_view LineSourceCode(LineSource source) {
  switch (source) {
    case LineSource::kValues:
      return "reads";
    case LineSource::kStartValue:
      return "start_value";
    case LineSource::kNotTraced:
      return "not_traced";
    case LineSource::kNotLinked:
      return "not_linked";
  }
  return "";
}

std::string_view PropertyTypeCode(PropertyType type) {
  switch (type) {
    case PropertyType::kInteger:
      return "integer";
    case PropertyType::kBoolean:
      return "boolean";
    case PropertyType::kEnumerated:
      return "enumerated";
    case PropertyType::kFlags:
      return "flags";
    case PropertyType::kFloat:
      return "float";
    case PropertyType::kText:
      return "text";
    case PropertyType::kColour:
      return "colour";
    case PropertyType::kPicture:
      return "picture";
    case PropertyType::kGroup:
      return "group";
  }
  return "";
}

std::string_view ColourKindCode(Colour::Kind kind) {
  switch (kind) {
    case Colour::Kind::kRgb:
      return "rgb";
    case Colour::Kind::kSystem:
      return "system";
    case Colour::Kind::kOther:
      return "other";
  }
  return "";
}

namespace {

// The words of an enum whose values run from 0 to `last`.
template <typename Enum, typename Name>
std::vector<std::string_view> Words(Enum last, Name name) {
  std::vector<std::string_view> words;
  for (int i = 0; i <= static_cast<int>(last); ++i)
    words.push_back(name(static_cast<Enum>(i)));
  return words;
}

}  // namespace

std::vector<Vocabulary> Vocabularies() {
  return {
      {"stop_code", Words(DecodeEnd::kInvalidRequest, StopCode)},
      {"read_kind", Words(ReadKind::kPictureBytes, ReadKindCode)},
      {"frame_part", Words(FramePart::kSectionB, FramePartCode)},
      {"code_outcome", Words(CodeOutcome::kEndOfSection, CodeOutcomeCode)},
      {"line_source", Words(LineSource::kNotLinked, LineSourceCode)},
      {"property_type", Words(PropertyType::kGroup, PropertyTypeCode)},
      {"colour_kind", Words(Colour::Kind::kOther, ColourKindCode)},
  };
}

}  // namespace tvx::core
