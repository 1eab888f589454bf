// The block lines' declared links checked against the experiment's: every range of bytes a
// property declares (in the file) must hold a value the experiment finds that line made from.
// The values the experiment finds beyond the declared ranges are told apart: on damaged streams
// its guesses reach further (a line whose value lies past the end of the file, say), and some
// lines it cannot trace at all (of two DragIcons, removing either leaves the line).
#pragma once

#include <string>
#include <vector>

#include "places.h"
#include "tvx/decoder.h"
#include "tvx/reader.h"

namespace tvx::core {

struct CrossChecked {
  bool compared = false;                // false when the experiment could not link the block
  std::size_t lines = 0;                // property lines compared
  std::vector<std::string> mismatches;  // declared bytes the experiment does not find
  // Lines whose declared bytes it finds none of, finding instead only bytes other properties
  // declare: the two disagree on what made the line. (Where it finds bytes no property
  // declares, a code passed over, its guess is its own.)
  std::vector<std::string> conflicts;
  std::vector<std::string> beyond;    // values it finds that no range declares
  std::vector<std::string> untraced;  // lines with declared bytes it finds nothing for
  // Declared bytes it does not find, whose change changes the decode's path (a DataFormat's
  // Type 5): the experiment leaves such values out by design.
  std::vector<std::string> pathChoosing;
};

CrossChecked CrossCheckLinks(Decoder& decoder, InputSource& input, Position start);

}  // namespace tvx::core
