// tvx host's account of one exchange: the plug-in, the request, the reply, the files the
// request wrote (listing and block in full, the picture by its size) and how the plug-in ended.
// Its lines end as the files' lines do (text.h).
#pragma once

#include "plugin_host.h"
#include "writer.h"

namespace tvx::render {

void WriteHostText(Writer& out, const core::HostOutcome& host, bool utf8);

}  // namespace tvx::render
