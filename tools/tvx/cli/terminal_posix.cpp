// The terminal off Windows.
#include <fcntl.h>
#include <langinfo.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <string>

#include "terminal.h"

namespace tvx::cli {

bool IsTerminal(std::FILE* file) {
  return isatty(fileno(file)) == 1;
}

void SetUpProcess() {
  // Bytes pass unchanged already; a write past RLIMIT_FSIZE then fails with EFBIG.
  std::signal(SIGXFSZ, SIG_IGN);
  // A standard stream that was closed would be the descriptor of the next file opened (read as
  // standard input, say). Each is opened on /dev/null the other way round, so that it still
  // takes no file's place and its reads or writes still fail (EBADF), as on a closed one.
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = open("/dev/null", (fd == STDIN_FILENO ? O_WRONLY : O_RDONLY) | O_NOCTTY);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
}

bool IsWideConsole(std::FILE*) {
  return false;
}

bool WriteToConsole(std::FILE*, std::string_view) {
  return false;
}

bool TerminalIsUtf8() {
  static const bool utf8 = [] {
    // The character set of the user's locale; the program's own locale stays "C".
    const char* before = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = before != nullptr ? before : "C";
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    const bool yes = codeset != nullptr &&
                     (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
    std::setlocale(LC_CTYPE, saved.c_str());
    return yes;
  }();
  return utf8;
}

}  // namespace tvx::cli
