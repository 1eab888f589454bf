// Program directory and file access on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <functional>
#include <map>
#include <memory>

#include "tvx/output.h"
#include "tvx/platform.h"
#include "tvx/regular_file.h"

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

// A descriptor kept open between requests, with the identity of the file it was opened on.
// Before each use the path is looked up again: a file removed, replaced or turned into a link
// since is opened anew, so the descriptor always stands for what the path names now.
class HeldFile {
 public:
  HeldFile() = default;
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  ~HeldFile() { Close(); }

  int get() const { return fd_; }
  bool Is(const std::string& path, const struct stat& st) const {
    return fd_ >= 0 && path == path_ && st.st_dev == dev_ && st.st_ino == ino_;
  }
  void Hold(int fd, const std::string& path, const struct stat& st) {
    Close();
    fd_ = fd;
    path_ = path;
    dev_ = st.st_dev;
    ino_ = st.st_ino;
  }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
  std::string path_;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
};

class PosixFileSystem final : public FileSystem {
 public:
  explicit PosixFileSystem(std::string directory) : directory_(std::move(directory)) {}
  PosixFileSystem(const PosixFileSystem&) = delete;
  PosixFileSystem& operator=(const PosixFileSystem&) = delete;
  ~PosixFileSystem() override { CloseDirectory(); }

  // The input stays open between requests while its path names the same file.
  InputSource* OpenInput(const std::string& path) override {
    if (input_ == nullptr || !input_->StillAt(path)) input_ = RegularFile::Open(path);
    return input_.get();
  }

  // Written in place and cut to length only when the earlier file was longer: replacing a
  // file by truncating it first makes some file systems wait for the disk at close. Never
  // follows a link out of the directory, never writes anything but a regular file.
  bool WriteOutput(std::string_view name, std::string_view bytes) override {
    auto held = outputs_.find(name);
    if (held == outputs_.end()) {
      held = outputs_.try_emplace(std::string(name)).first;
      held->second.name = std::string(name);
      held->second.fullPath = directory_ + "/" + held->second.name;
    }
    Output& output = held->second;
    HeldFile& file = output.file;
    // Looked up in the held directory: one path component instead of the whole path.
    int at = Directory();
    const char* path = output.PathFrom(at);
    struct stat st {};
    if (fstatat(at, path, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        !file.Is(output.name, st)) {
      file.Close();
      int fd = OpenOutput(at, path);
      if (fd < 0 && errno == ENOENT && at != AT_FDCWD) {
        // The held directory is gone (removed, and perhaps made anew at its path): open the
        // directory the path names now and try once more.
        CloseDirectory();
        at = Directory();
        path = output.PathFrom(at);
        fd = OpenOutput(at, path);
      }
      if (fd < 0) return false;
      if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
      }
      file.Hold(fd, output.name, st);
    }
    const auto length = static_cast<off_t>(bytes.size());
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n =
          pwrite(file.get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return Fail(file, at, path);
      done += static_cast<std::size_t>(n);
    }
    if (st.st_size > length && ftruncate(file.get(), length) != 0) return Fail(file, at, path);
    return true;
  }

 private:
  struct Output {
    std::string name;      // looked up in the held directory
    std::string fullPath;  // looked up as it stands where no directory is held
    HeldFile file;
    const char* PathFrom(int at) const { return at == AT_FDCWD ? fullPath.c_str() : name.c_str(); }
  };

  // The output directory, held open so that each file is looked up by its name alone; the path
  // itself where the directory cannot be opened (then every look-up walks the whole path).
  int Directory() {
    if (!directoryTried_) {
      directoryFd_ = open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      directoryTried_ = true;
    }
    return directoryFd_ >= 0 ? directoryFd_ : AT_FDCWD;
  }

  void CloseDirectory() {
    if (directoryFd_ >= 0) close(directoryFd_);
    directoryFd_ = -1;
    directoryTried_ = false;
  }

  static int OpenOutput(int at, const char* path) {
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = openat(at, path, flags, 0666);
    // An earlier file that cannot be opened for writing (read-only, or a link) must not stay
    // behind looking like this run's: remove it and create the file anew.
    if (fd < 0 && unlinkat(at, path, 0) == 0) fd = openat(at, path, flags | O_EXCL, 0666);
    return fd;
  }

  // Never leaves an earlier run's contents looking like this run's.
  static bool Fail(HeldFile& file, int at, const char* path) {
    if (ftruncate(file.get(), 0) != 0) unlinkat(at, path, 0);
    file.Close();
    return false;
  }

  std::string directory_;
  int directoryFd_ = -1;
  bool directoryTried_ = false;
  std::unique_ptr<RegularFile> input_;
  std::map<std::string, Output, std::less<>> outputs_;
};

}  // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem(std::string outputDirectory) {
  return std::make_unique<PosixFileSystem>(std::move(outputDirectory));
}

}  // namespace tvx
