// The serial communications control: extender records around a fixed control block of settings
// and a flag word.
#pragma once

#include <memory>

#include "tvx/decoder.h"

namespace tvx::comm {

std::unique_ptr<Decoder> MakeDecoder();

}  // namespace tvx::comm
