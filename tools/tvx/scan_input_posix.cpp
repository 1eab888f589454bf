// The inputs of tvx scan off Windows: positioned reads of a descriptor, and the holes of a
// sparse file found with SEEK_DATA and SEEK_HOLE where the system has them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "scan_input.h"

namespace tvx::tool {

namespace {

constexpr std::uint64_t kNoEnd = std::numeric_limits<std::uint64_t>::max();

class PosixInput final : public SequentialInput {
 public:
  PosixInput(int fd, bool file) : fd_(fd), file_(file), dataEnd_(file ? 0 : kNoEnd) {}
  PosixInput(const PosixInput&) = delete;
  PosixInput& operator=(const PosixInput&) = delete;
  ~PosixInput() override {
    if (file_) close(fd_);
  }

  bool Next(std::span<std::uint8_t> into, Part* part, std::string* why) override {
    *part = {};
    if (ended_) return true;
    if (file_ && offset_ == dataEnd_) {
      FindData(part);
      if (part->zeros > 0) return true;  // a hole
      if (offset_ == dataEnd_) {
        ended_ = true;
        return true;
      }
    }
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), dataEnd_ - offset_));
    ssize_t n;
    do {
      n = file_ ? pread(fd_, into.data(), want, static_cast<off_t>(offset_))
                : read(fd_, into.data(), want);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
      *why = std::strerror(errno);
      return false;
    }
    offset_ += static_cast<std::uint64_t>(n);
    part->read = static_cast<std::size_t>(n);
    ended_ = n == 0;  // the end (a file may have shrunk)
    return true;
  }

 private:
  // At the end of a stretch of data: where the next one starts (the zeros before it are a hole)
  // and where it ends. Without SEEK_DATA the whole file is one stretch.
  void FindData(Part* part) {
    dataEnd_ = kNoEnd;
#if defined(SEEK_DATA) && defined(SEEK_HOLE)
    if (!holes_) return;
    const off_t data = lseek(fd_, static_cast<off_t>(offset_), SEEK_DATA);
    if (data < 0 && errno == ENXIO) {  // no data from here on: a hole up to the size, if any
      struct stat st {};
      const std::uint64_t size =
          fstat(fd_, &st) == 0 && st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
      part->zeros = size > offset_ ? size - offset_ : 0;
      offset_ += part->zeros;
      dataEnd_ = offset_;
      return;
    }
    if (data < 0 || static_cast<std::uint64_t>(data) < offset_) {
      holes_ = false;  // the file system cannot tell: read everything
      return;
    }
    part->zeros = static_cast<std::uint64_t>(data) - offset_;
    offset_ = static_cast<std::uint64_t>(data);
    const off_t hole = lseek(fd_, data, SEEK_HOLE);
    if (hole > data) dataEnd_ = static_cast<std::uint64_t>(hole);
#else
    (void)part;
#endif
  }

  int fd_;
  bool file_;
  bool holes_ = true;
  bool ended_ = false;
  std::uint64_t offset_ = 0;
  std::uint64_t dataEnd_;  // where the stretch of data being read ends
};

}  // namespace

std::unique_ptr<SequentialInput> OpenSequential(const std::string& path, std::string* why) {
  // Only regular files: a FIFO or a device is never opened, so never waited on.
  struct stat st {};
  if (path.empty() || path.find('\0') != std::string::npos) {
    *why = "not a file name";
    return nullptr;
  }
  if (stat(path.c_str(), &st) != 0) {
    *why = std::strerror(errno);
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    *why = "not a regular file";
    return nullptr;
  }
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    *why = std::strerror(errno);
    return nullptr;
  }
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    *why = "not a regular file";
    return nullptr;
  }
#ifdef POSIX_FADV_SEQUENTIAL
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  return std::make_unique<PosixInput>(fd, true);
}

std::unique_ptr<SequentialInput> StandardInput() {
  return std::make_unique<PosixInput>(STDIN_FILENO, false);
}

std::FILE* CreateTemporaryFile(std::string* path, std::string* why) {
  const char* dir = std::getenv("TMPDIR");
  std::string name = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tvx-XXXXXX";
  const int fd = mkstemp(name.data());
  std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "w+b");
  if (file == nullptr) {
    *why = std::strerror(errno);
    if (fd >= 0) {
      close(fd);
      unlink(name.c_str());
    }
    return nullptr;
  }
  *path = name;
  return file;
}

}  // namespace tvx::tool
