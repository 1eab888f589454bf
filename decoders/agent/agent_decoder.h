// The animated agent character control: extender records around a short control block.
#pragma once

#include <memory>

#include "tvx/decoder.h"

namespace tvx::agent {

std::unique_ptr<Decoder> MakeDecoder();

}  // namespace tvx::agent
