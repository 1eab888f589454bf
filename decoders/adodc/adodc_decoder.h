// The ADO data control: extender records around a fixed control block that holds the
// connection settings, nine counted texts and the caption font.
#pragma once

#include <memory>

#include "tvx/decoder.h"

namespace tvx::adodc {

std::unique_ptr<Decoder> MakeDecoder();

}  // namespace tvx::adodc
