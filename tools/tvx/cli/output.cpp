#include "output.h"

#include <cerrno>
#include <cstring>

#include "terminal.h"

namespace tvx::cli {

Output::Output(std::FILE* file)
    : file_(file), terminal_(IsTerminal(file)), console_(IsWideConsole(file)) {}

std::size_t WholeSequences(std::string_view bytes) {
  const std::size_t size = bytes.size();
  // Back to the start of a last sequence that is not yet whole.
  std::size_t start = size;
  while (start > 0 && start + 4 > size &&
         (static_cast<unsigned char>(bytes[start - 1]) & 0xC0) == 0x80) {
    --start;
  }
  if (start > 0) {
    const auto lead = static_cast<unsigned char>(bytes[start - 1]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (start - 1 + length > size) return start - 1;
  }
  return size;
}

void Output::ToConsole(std::string_view bytes, bool all) {
  pending_.append(bytes);
  const std::size_t whole = all ? pending_.size() : WholeSequences(pending_);
  if (!WriteToConsole(file_, std::string_view(pending_).substr(0, whole)) && error_.empty()) {
    error_ = "write error";
  }
  pending_.erase(0, whole);
}

void Output::Write(std::string_view bytes) {
  if (console_) {
    ToConsole(bytes, false);
    return;
  }
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() &&
      error_.empty()) {
    error_ = std::strerror(errno);
  }
}

bool Output::Finish() {
  if (console_ && !pending_.empty()) ToConsole({}, true);
  if (std::fflush(file_) != 0 && error_.empty()) error_ = std::strerror(errno);
  if (std::ferror(file_) != 0 && error_.empty()) error_ = "write error";
  return error_.empty();
}

}  // namespace tvx::cli
