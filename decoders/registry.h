// Every decoder built into this tree, by deliverable name or control class word. Used by the
// tools and the fuzz targets; a deliverable itself links exactly one decoder, never this.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "tvx/decoder.h"

namespace tvx {

// The deliverables whose decoders were built, in a fixed order.
std::vector<const DeliverableInfo*> AllDeliverables();

// A fresh decoder for a deliverable name ("SERLINK.SerialLink") or its control class word
// ("MSComm"), compared case-insensitively; nothing when none matches.
std::unique_ptr<Decoder> MakeDecoder(std::string_view nameOrClassWord);

}  // namespace tvx
