// Every decoder built into this tree, by deliverable name or control class word. Used by the
// tools and the fuzz targets; a deliverable itself links exactly one decoder, never this.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "tvx/decoder.h"

namespace tvx {

// The deliverables of the tree, in the order they are declared.
const std::vector<const DeliverableInfo*>& AllDeliverables();

// A fresh decoder for a deliverable name ("NAME.Program") or its control class word, compared
// without regard to case; nothing when none matches.
std::unique_ptr<Decoder> FindDecoder(std::string_view nameOrClassWord);

// The same comparison: ASCII letters without regard to case.
bool SameWord(std::string_view a, std::string_view b);

}  // namespace tvx
