// Places in a program file as tvx reads and shows them. A position is 1-based, in decimal: the
// number the host sends in a request. An offset is 0-based: what a hex dump (xxd, objdump) shows.
// Position 1025 is offset 0x400. Positions are whole numbers from 1 to kMaxPosition.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tvx/protocol.h"

namespace tvx::core {

using Position = std::uint64_t;

// The largest position tvx takes: 2^53, the size of a file far beyond any it can read, and the
// last whole number that the plug-ins' arithmetic (and JSON's numbers) hold exactly.
inline constexpr Position kMaxPosition = Position{1} << 53;

enum class PlaceError {
  kNone,
  kNotANumber,     // not decimal, nor 0x hexadecimal
  kBelowOne,       // a position that rounds below 1
  kBeyondAnyFile,  // above kMaxPosition
};

struct ParsedPlace {
  Position position = 0;  // the 1-based position, when there is no error
  PlaceError error = PlaceError::kNone;
  bool rounded = false;  // a decimal fraction was rounded (half to even, as the plug-ins round)

  explicit operator bool() const { return error == PlaceError::kNone; }
};

// POSITION: decimal as a request carries it (blanks around it and leading zeros accepted, a
// fraction rounded half to even, as the plug-ins round it) or 0x hexadecimal (still 1-based).
ParsedPlace ParsePosition(std::string_view text);
// OFFSET: 0-based, decimal or 0x hexadecimal; the position is one more.
ParsedPlace ParseOffset(std::string_view text);
// A whole number from 1 to `most`, in decimal digits only (a count of rows, of jobs).
std::optional<std::uint64_t> ParseCount(std::string_view text, std::uint64_t most);

// The position the framework's arithmetic gives (a whole number), as a position.
Position PositionOf(double framework);

// A valid request for the stream at `start` of `path`.
Request MakeRequest(const std::string& path, Position start, bool offsets = false);

}  // namespace tvx::core
