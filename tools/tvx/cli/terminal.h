// The terminal, where the tool's output may end up: the platform's answer.
#pragma once

#include <cstdio>
#include <string_view>

namespace tvx::cli {

// True when `file` is a terminal (a console window on Windows).
bool IsTerminal(std::FILE* file);

// Sets standard input and output to pass bytes unchanged (no line-end translation), makes a
// write past the limit of a file's size a write error like any other (not the end of tvx), and
// keeps the descriptors of closed standard streams from any file tvx opens.
void SetUpProcess();

// True when the terminals this program writes to show UTF-8: the locale's character set off
// Windows; on Windows always, as text reaches a console through its wide calls.
bool TerminalIsUtf8();

// True when `file` is a console that takes text in wide characters (Windows): UTF-8 written to it
// goes through WriteToConsole. False elsewhere, and for a pipe or a file: bytes go as they are.
bool IsWideConsole(std::FILE* file);
// Writes UTF-8 text to such a console; false when it cannot be written.
bool WriteToConsole(std::FILE* file, std::string_view utf8);

}  // namespace tvx::cli
