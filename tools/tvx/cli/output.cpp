#include "output.h"

#include <cerrno>
#include <cstring>

#include "terminal.h"

namespace tvx::cli {

Output::Output(std::FILE* file) : file_(file), terminal_(IsTerminal(file)) {}

void Output::Write(std::string_view bytes) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() &&
      error_.empty()) {
    error_ = std::strerror(errno);
  }
}

bool Output::Finish() {
  if (std::fflush(file_) != 0 && error_.empty()) error_ = std::strerror(errno);
  if (std::ferror(file_) != 0 && error_.empty()) error_ = "write error";
  return error_.empty();
}

}  // namespace tvx::cli
