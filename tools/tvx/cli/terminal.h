// The terminal, where the tool's output may end up: the platform's answer.
#pragma once

#include <cstdio>

namespace tvx::cli {

// True when `file` is a terminal (a console window on Windows).
bool IsTerminal(std::FILE* file);

// Sets standard input and output to pass bytes unchanged (no line-end translation), and makes a
// write past the limit of a file's size a write error like any other (not the end of tvx).
void SetUpProcess();

// True when the terminals this program writes to show UTF-8: the locale's character set off
// Windows, the console's code page on Windows.
bool TerminalIsUtf8();

}  // namespace tvx::cli
