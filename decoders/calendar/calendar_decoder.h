// The month calendar control: section A with the DataFormat sub-record, the control block, three
// font records and section B.
#pragma once

#include <memory>

#include "tvx/decoder.h"

namespace tvx::calendar {

std::unique_ptr<Decoder> MakeDecoder();

// The number of bytes skipped after the ValueIsNull field, 256 or 512, for a control block
// starting at the reader's position (the byte after code 45). The reader is not moved.
std::uint32_t ControlBlockGap(StreamReader& blockStart);

}  // namespace tvx::calendar
