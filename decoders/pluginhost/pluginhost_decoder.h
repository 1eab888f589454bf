// The plug-in host control: the extender records of a visible control around its extent.
#pragma once

#include <memory>

#include "tvx/decoder.h"

namespace tvx::pluginhost {

std::unique_ptr<Decoder> MakeDecoder();

}  // namespace tvx::pluginhost
