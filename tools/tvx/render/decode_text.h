// A decoded record's listing and block as the plug-in writes its files: piped, their bytes; on a
// terminal, printable lines (text.h). The picture's bytes as they are.
#pragma once

#include "record.h"
#include "text.h"
#include "writer.h"

namespace tvx::render {

inline void WriteDecodeText(Writer& out, const core::DecodedRecord& record, bool listing,
                            bool block) {
  FileText text(out);
  if (listing) record.WriteListing([&](std::string_view bytes) { text.Feed(bytes); });
  if (block) record.Text(record.block).Write([&](std::string_view bytes) { text.Feed(bytes); });
  text.Finish();
}

inline void WritePicture(Writer& out, const core::DecodedRecord& record) {
  if (record.picture)
    record.Text(record.picture->held).Write([&](std::string_view b) { out << b; });
}

}  // namespace tvx::render
