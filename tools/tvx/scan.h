// Finding the controls of a compiled program: each control on a compiled form is stored as a
// record
//
//     word n, the control's name (n bytes), 00, FF, word m, its class name (m bytes), 00,
//     its property stream
//
// (words little-endian). A record is recognised at every 00 FF pair whose neighbours confirm it:
// the bytes before the pair are an identifier (a letter, then letters, digits or underscores)
// preceded by its own length as a word, and the bytes after it are a word m, m class-name bytes
// (letters, digits, underscores and dots) and a 00.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "tvx/decoder.h"
#include "tvx/reader.h"

namespace tvx::tool {

struct ControlRecord {
  double position = 0;  // 1-based position of the property stream
  std::string name;     // the control's name
  std::string className;
};

// Every record of `file`, in file order, handed to `found`. One pass, reading the file in chunks:
// memory does not grow with the file.
void ScanRecords(InputSource& file, const std::function<void(const ControlRecord&)>& found);

// A class name (compared without regard to case) and the deliverable that decodes it.
struct KnownClass {
  std::string name;
  const DeliverableInfo* info;
};

// The class names given with --class NAME=CONTROL, which win, then those the deliverables
// declare; a usage error of `command` for a wrong --class.
std::optional<std::vector<KnownClass>> KnownClasses(const Arguments& args, std::string_view command,
                                                    Output& err);
// The deliverable that decodes the class, or nothing.
const DeliverableInfo* LookupClass(const std::vector<KnownClass>& known,
                                   std::string_view className);

}  // namespace tvx::tool
