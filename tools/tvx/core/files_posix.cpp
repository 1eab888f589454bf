// Files off Windows: positioned reads of a descriptor, the holes of a sparse file found with
// SEEK_DATA and SEEK_HOLE where the system has them, and temporary files without a name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

#include "files.h"

namespace tvx::core {

namespace {

constexpr std::uint64_t kNoEnd = std::numeric_limits<std::uint64_t>::max();

IoError Errno(int code) {
  return {code, std::strerror(code)};
}

// Writes all of `bytes`; false with the reason.
bool WriteAll(int fd, std::span<const std::uint8_t> bytes, IoError* error) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = Errno(n < 0 ? errno : ENOSPC);
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

IoError NotRegular(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return Errno(EISDIR);
  return {0, "not a regular file"};
}

// The regular file at `path`, opened for reading; -1 with the reason. A FIFO or a device is
// never opened, so never waited on.
int OpenRegular(const std::string& path, IoError* error) {
  if (path.empty() || path.find('\0') != std::string::npos) {
    *error = {ENOENT, "not a file name"};
    return -1;
  }
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    *error = Errno(errno);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = NotRegular(st);
    return -1;
  }
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    *error = Errno(errno);
    return -1;
  }
  // What was opened may differ from what was looked at (the path changed in between).
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    *error = NotRegular(st);
    return -1;
  }
  return fd;
}

// A descriptor read at offsets.
class DescriptorInput : public TemporaryFile {
 public:
  explicit DescriptorInput(int fd) : fd_(fd) {}
  DescriptorInput(const DescriptorInput&) = delete;
  DescriptorInput& operator=(const DescriptorInput&) = delete;
  ~DescriptorInput() override { close(fd_); }

  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) override {
    constexpr std::size_t kMaxCall = std::size_t{1} << 30;
    std::size_t got = 0;
    while (got < size) {
      const std::uint64_t at = offset + got;
      if (at > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) break;
      const std::size_t want = std::min(size - got, kMaxCall);
      const ssize_t n = pread(fd_, into + got, want, static_cast<off_t>(at));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // the end of the file, or a read error
      got += static_cast<std::size_t>(n);
      if (static_cast<std::size_t>(n) < want) break;
    }
    return got;
  }

  std::uint64_t Size() override {
    struct stat st {};
    if (fstat(fd_, &st) != 0 || st.st_size < 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
  }

  bool Append(std::span<const std::uint8_t> bytes, IoError* error) override {
    return WriteAll(fd_, bytes, error);
  }

 private:
  int fd_;
};

// What tells that a file changed: its size and its time of last change.
struct Stamp {
  off_t size = 0;
  timespec modified{};
  timespec changed{};
  bool operator==(const Stamp& o) const {
    return size == o.size && modified.tv_sec == o.modified.tv_sec &&
           modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec &&
           changed.tv_nsec == o.changed.tv_nsec;
  }
};

Stamp StampOf(int fd) {
  struct stat st {};
  Stamp stamp;
  if (fstat(fd, &st) == 0) stamp = {st.st_size, st.st_mtim, st.st_ctim};
  return stamp;
}

class PosixSequential final : public SequentialInput {
 public:
  PosixSequential(int fd, bool file) : fd_(fd), file_(file), dataEnd_(file ? 0 : kNoEnd) {
    if (file_) opened_ = StampOf(fd_);
  }
  PosixSequential(const PosixSequential&) = delete;
  PosixSequential& operator=(const PosixSequential&) = delete;
  ~PosixSequential() override {
    if (file_) close(fd_);
  }

  bool Next(std::span<std::uint8_t> into, Part* part, IoError* error) override {
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
      *error = Errno(errno);
      return false;
    }
    offset_ += static_cast<std::uint64_t>(n);
    part->read = static_cast<std::size_t>(n);
    ended_ = n == 0;  // the end (a file may have shrunk)
    return true;
  }

  bool Changed(IoError* error) override {
    if (!file_ || StampOf(fd_) == opened_) return false;
    *error = {0, "changed while it was read"};
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
  Stamp opened_;
};

class PosixOutputFile final : public OutputFile {
 public:
  PosixOutputFile(int fd, std::string temporary, std::string path)
      : fd_(fd), temporary_(std::move(temporary)), path_(std::move(path)) {}
  PosixOutputFile(const PosixOutputFile&) = delete;
  PosixOutputFile& operator=(const PosixOutputFile&) = delete;
  ~PosixOutputFile() override {
    if (fd_ >= 0) close(fd_);
    if (!committed_) unlink(temporary_.c_str());
  }

  bool Write(std::span<const std::uint8_t> bytes, IoError* error) override {
    return WriteAll(fd_, bytes, error);
  }

  bool Commit(IoError* error) override {
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0 || rename(temporary_.c_str(), path_.c_str()) != 0) {
      *error = Errno(errno);
      return false;
    }
    committed_ = true;
    return true;
  }

 private:
  int fd_;
  std::string temporary_;
  std::string path_;
  bool committed_ = false;
};

}  // namespace

std::filesystem::path FileSystemPath(const std::string& text) {
  return text;
}

std::string PathText(const std::filesystem::path& path) {
  return path.native();
}

std::unique_ptr<OutputFile> OutputFile::Create(const std::string& path, IoError* error) {
  if (!Nameable(path, error)) return nullptr;
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string temporary =
        dir + "." + name + ".tvx-" + std::to_string(random() % 1000000000u);
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return std::make_unique<PosixOutputFile>(fd, temporary, path);
    if (errno != EEXIST) {
      *error = Errno(errno);
      return nullptr;
    }
  }
  *error = Errno(EEXIST);
  return nullptr;
}

std::shared_ptr<InputSource> OpenRegularInput(const std::string& path, IoError* error) {
  const int fd = OpenRegular(path, error);
  if (fd < 0) return nullptr;
  return std::make_shared<DescriptorInput>(fd);
}

std::unique_ptr<SequentialInput> OpenSequential(const std::string& path, IoError* error) {
  const int fd = OpenRegular(path, error);
  if (fd < 0) return nullptr;
#ifdef POSIX_FADV_SEQUENTIAL
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  return std::make_unique<PosixSequential>(fd, true);
}

std::unique_ptr<SequentialInput> StandardInputStream() {
  return std::make_unique<PosixSequential>(STDIN_FILENO, false);
}

std::unique_ptr<TemporaryFile> TemporaryFile::Create(IoError* error) {
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string dir = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
  std::string name = dir + "/tvx-XXXXXX";
  const int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    const int code = errno;
    *error = {code, "cannot make a temporary file in " + dir + " (TMPDIR): " + std::strerror(code)};
    return nullptr;
  }
  unlink(name.c_str());  // gone once closed, whatever happens to this process
  return std::make_unique<DescriptorInput>(fd);
}

}  // namespace tvx::core
