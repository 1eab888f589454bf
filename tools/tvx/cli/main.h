// tvx's whole run, from its arguments (UTF-8 on Windows, the bytes given elsewhere) to its exit
// status; the platform's entry point (entry_posix.cpp, entry_win32.cpp) hands them over.
#pragma once

#include <string>
#include <vector>

namespace tvx::cli {

int Main(const std::vector<std::string>& args);

}  // namespace tvx::cli
