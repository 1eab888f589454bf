// The console on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "terminal.h"

namespace tvx::cli {

bool IsTerminal(std::FILE* file) {
  return _isatty(_fileno(file)) != 0;
}

void SetUpProcess() {
  // CR LF lines and stream bytes pass unchanged, never a LF turned into CR LF.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

bool TerminalIsUtf8() {
  return GetConsoleOutputCP() == CP_UTF8;
}

}  // namespace tvx::cli
