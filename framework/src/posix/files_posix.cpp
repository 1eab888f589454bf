// Program directory and file access on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <memory>

#include "tvx/output.h"
#include "tvx/platform.h"

namespace tvx {

std::string ProgramDirectory() {
  std::string path(PATH_MAX, '\0');
  const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0) return ".";
  path.resize(static_cast<std::size_t>(n));
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

bool IsRegular(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

class PosixFileSystem final : public FileSystem {
 public:
  explicit PosixFileSystem(std::string directory) : directory_(std::move(directory)) {}

  std::optional<InputFile> ReadInput(const std::string& path, double start) override {
    // A path with a NUL in it would name another file.
    if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
    // Only regular files are read: a FIFO or a device is never opened, so never waited on.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;

    InputFile input;
    input.base = start;
    const auto size = static_cast<double>(st.st_size);
    if (start - 1 >= size) return input;  // the stream starts past the end of the file
    const auto offset = static_cast<off_t>(start - 1);
    input.bytes.resize(static_cast<std::size_t>(st.st_size - offset));
    std::size_t got = 0;
    while (got < input.bytes.size()) {
      const ssize_t n = pread(fd.get(), input.bytes.data() + got, input.bytes.size() - got,
                              offset + static_cast<off_t>(got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // the file shrank, or a read error: decode what was read
      got += static_cast<std::size_t>(n);
    }
    input.bytes.resize(got);
    return input;
  }

  bool WriteOutput(std::string_view name, std::string_view bytes) override {
    const std::string path = directory_ + "/" + std::string(name);
    // Written in place and then cut to length: replacing a file by truncating it first makes
    // some file systems wait for the disk at close. Never follows a link out of the directory,
    // never opens anything but a regular file.
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int raw = open(path.c_str(), flags, 0666);
    // An earlier file that cannot be opened for writing (read-only, or a link) must not stay
    // behind looking like this run's: remove it and create the file anew.
    if (raw < 0 && unlink(path.c_str()) == 0) raw = open(path.c_str(), flags | O_EXCL, 0666);
    FileDescriptor fd(raw);
    if (!fd.valid()) return false;
    if (!IsRegular(fd.get())) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n =
          pwrite(fd.get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        // Never leave an earlier run's contents looking like this run's.
        if (ftruncate(fd.get(), 0) != 0) unlink(path.c_str());
        return false;
      }
      done += static_cast<std::size_t>(n);
    }
    if (ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0) {
      if (ftruncate(fd.get(), 0) != 0) unlink(path.c_str());
      return false;
    }
    return true;
  }

 private:
  std::string directory_;
};

}  // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem(std::string outputDirectory) {
  return std::make_unique<PosixFileSystem>(std::move(outputDirectory));
}

}  // namespace tvx
