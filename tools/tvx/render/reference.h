// The reference of the controls' properties, made from the decoders' definitions: per control,
// each property its block may hold, with its type, what it is, what a fresh decode writes for it,
// the values it may take with their names, and where the stream keeps it. As Markdown: the
// document docs/properties.md is exactly what WriteReference writes for every control.
#pragma once

#include "tvx/decoder.h"
#include "writer.h"

namespace tvx::render {

// One control's section, or, for none, the whole document.
void WriteReference(Writer& out, const DeliverableInfo* control);

}  // namespace tvx::render
