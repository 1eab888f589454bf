// Places in a program file as tvx reads and shows them. A position is 1-based, in decimal: the
// number the host sends in a request. An offset is 0-based and written 0x… in hexadecimal: what
// a hex dump (xxd, objdump) shows. Position 1025 is offset 0x400.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cli.h"
#include "tvx/protocol.h"

namespace tvx::tool {

// A 1-based position as a request carries it (decimal, blanks around it and leading zeros
// accepted, a fraction rounded half to even, as the plug-ins round it) or 0x hexadecimal (still
// 1-based); nothing when it is none or lies below 1.
std::optional<double> ParsePosition(std::string_view text);

// The stream's start position from a command's arguments: POSITION, or --file-offset OFFSET
// (0-based, decimal or 0x hexadecimal). Writes a usage error or a rounding warning to `err`;
// nothing on a usage error.
std::optional<double> StartFrom(const Arguments& args, const std::string* position,
                                std::string_view command, Output& err);

// "0x400": the 0-based offset of the 1-based position, in hexadecimal.
std::string OffsetText(double position);
// "1025 (0x400)": a position and its offset, for a sentence.
std::string PlaceText(double position);

// A valid request for the stream at `start` in `path`.
Request MakeRequest(const std::string& path, double start, bool offsets = false);

}  // namespace tvx::tool
