// Text for people: stream bytes and paths made safe for a terminal, and the line-end rule.
//
// Stream texts are bytes, one character each: on a terminal every byte that is not printable
// ASCII shows as \xHH (a backslash as \\). A path is the user's own text: valid UTF-8 shows as it
// is (unless the terminal does not take UTF-8), a single backslash stays one, and only control
// characters and bytes that are not valid UTF-8 show as \xHH.
//
// Output that carries the plug-in's files (decode, scan --decode, host) follows one line-end
// rule: piped or redirected, every line ends with CR LF, as the files' own lines do, and their
// bytes pass unchanged; on a terminal every line ends with LF and the files' bytes are shown
// as above. Everything else ends its lines with LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli.h"

namespace tvx::tool {

std::string Printable(std::string_view bytes);
std::string PrintablePath(std::string_view path);
// True when `text` is valid UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

// The lines of a CR LF text, without their line ends.
std::vector<std::string_view> CrLfLines(std::string_view text);

// The line end of output that carries the plug-in's files: LF on a terminal, CR LF otherwise.
std::string_view FileLineEnd(const Output& out);
// Writes CR LF text (a listing, a block) to `out`: as it is when piped, each line printable
// and ended with LF on a terminal.
void ShowLines(Output& out, std::string_view text);

}  // namespace tvx::tool
