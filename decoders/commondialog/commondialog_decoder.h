// The common dialog control: extender records around a fixed control block whose presence mask
// selects up to eight counted texts.
#pragma once

#include <memory>

#include "tvx/decoder.h"

namespace tvx::commondialog {

std::unique_ptr<Decoder> MakeDecoder();

}  // namespace tvx::commondialog
