// Program files on POSIX systems: positioned reads on a descriptor.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tvx/regular_file.h"

namespace tvx {

std::unique_ptr<RegularFile> RegularFile::Open(const std::string& path, std::string* why) {
  const auto fail = [why](const char* reason) -> std::unique_ptr<RegularFile> {
    if (why != nullptr) *why = reason;
    return nullptr;
  };
  // A path with a NUL in it would name another file.
  if (path.empty() || path.find('\0') != std::string::npos) return fail("not a file name");
  // Only regular files: a FIFO or a device is never opened, so never waited on.
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return fail(std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return fail("not a regular file");
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return fail(std::strerror(errno));
  // What was opened may differ from what was looked at (the path changed in between).
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return fail("not a regular file");
  }
  return std::unique_ptr<RegularFile>(new RegularFile(fd, path, st.st_dev, st.st_ino));
}

RegularFile::~RegularFile() {
  close(static_cast<int>(handle_));
}

std::size_t RegularFile::ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) {
  // Linux hands out at most about 2 GiB per call: larger reads take several.
  constexpr std::size_t kMaxCall = std::size_t{1} << 30;
  std::size_t got = 0;
  while (got < size) {
    const std::uint64_t at = offset + got;
    if (at > static_cast<std::uint64_t>(INT64_MAX)) break;  // beyond any file
    const std::size_t want = std::min(size - got, kMaxCall);
    const ssize_t n = pread(static_cast<int>(handle_), into + got, want, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the end of the file (it may have shrunk), or a read error
    got += static_cast<std::size_t>(n);
    // A regular file reads short only at its end: asking again would cost a call for nothing.
    if (static_cast<std::size_t>(n) < want) break;
  }
  return got;
}

std::uint64_t RegularFile::Size() {
  struct stat st {};
  if (fstat(static_cast<int>(handle_), &st) != 0 || st.st_size < 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

bool RegularFile::StillAt(const std::string& path) const {
  struct stat st {};
  return path == path_ && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         static_cast<std::uint64_t>(st.st_dev) == device_ &&
         static_cast<std::uint64_t>(st.st_ino) == id_;
}

}  // namespace tvx
