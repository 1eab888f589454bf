// Every decoder built into this tree, by deliverable name or control class word. Used by the
// tools and the fuzz targets; a deliverable itself links exactly one decoder, never this.
#pragma once

#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "tvx/decoder.h"
#include "tvx/property.h"

namespace tvx {

// The deliverables of the tree, in the order they are declared.
const std::vector<const DeliverableInfo*>& AllDeliverables();

// A fresh decoder for a deliverable name ("NAME.Program"), its control class word or one of the
// class names it declares ("Lib.Class"), compared without regard to case; nothing when none
// matches.
std::unique_ptr<Decoder> FindDecoder(std::string_view control);

// Every property the deliverable's block may hold, in the block's order (a group's members after
// it); empty for a deliverable not of this tree.
std::span<const PropertyEntry> PropertiesOf(const DeliverableInfo& info);

// True when `className` is one of the blank-separated `classNames` (without regard to case).
bool HasClassName(std::string_view classNames, std::string_view className);

// The same comparison: ASCII letters without regard to case.
bool SameWord(std::string_view a, std::string_view b);

}  // namespace tvx
