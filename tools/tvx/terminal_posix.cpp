// The terminal off Windows.
#include <unistd.h>

#include "terminal.h"

namespace tvx::tool {

bool IsTerminal(std::FILE* file) {
  return isatty(fileno(file)) == 1;
}

void UseBinaryStandardStreams() {}  // bytes pass unchanged already

}  // namespace tvx::tool
