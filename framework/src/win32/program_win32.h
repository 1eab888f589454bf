// Facts about the running program on Windows, shared by the file system and the window.
#pragma once

#include <string>

namespace tvx::win32 {

// The full path of the running executable in the ANSI code page, "" when it cannot be had.
std::string ProgramPath();

// The executable's file name without its directory and without its last extension:
// "NAME.Program" for ...\NAME.Program.tvx.
std::string ProgramName();

}  // namespace tvx::win32
