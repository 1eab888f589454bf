// tvx host off Windows: the plug-in's standard input and output are its exchange channel.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "child_process.h"
#include "plugin_session.h"
#include "tvx/platform.h"

namespace tvx::core {

ProgramState ProgramStateOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return ProgramState::kMissing;
  if (!S_ISREG(st.st_mode)) return ProgramState::kNotAFile;
  return access(path.c_str(), X_OK) == 0 ? ProgramState::kProgram : ProgramState::kNotExecutable;
}

std::string DirectoryOf(const std::string& program) {
  char resolved[PATH_MAX];
  const std::string real = realpath(program.c_str(), resolved) != nullptr ? resolved : program;
  const std::size_t slash = real.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : real.substr(0, slash);
}

std::string PathIn(const std::string& directory, const std::string& name) {
  return directory + "/" + name;
}

bool HasDirectory(const std::string& path) {
  return path.find('/') != std::string::npos;
}

std::string FileNameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

FileStamp StampOf(const std::string& path) {
  struct stat st {};
  FileStamp stamp;
  stamp.exists = stat(path.c_str(), &st) == 0;
  if (!stamp.exists) return stamp;
  stamp.id = static_cast<std::uint64_t>(st.st_ino);
  stamp.size = static_cast<std::uint64_t>(st.st_size);
  // The later of the data's and the inode's change, to the nanosecond.
  const auto ns = [](const timespec& t) {
    return static_cast<std::uint64_t>(t.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(t.tv_nsec);
  };
  stamp.changed = std::max(ns(st.st_mtim), ns(st.st_ctim));
  return stamp;
}

namespace {

ChildOptions InGroup() {
  ChildOptions options;
  options.ownGroup = true;
  return options;
}

class PipeSession final : public PluginSession {
 public:
  explicit PipeSession(const std::string& program) : child_(program, InGroup()) {}
  ~PipeSession() override { child_.Stop(); }
  bool started() const { return child_.started(); }
  const std::string& error() const { return child_.error(); }

  std::string Ask(const std::string& message, std::size_t replySize, int timeoutMs,
                  bool* closed) override {
    if (!child_.Send(message)) {
      *closed = true;
      return {};
    }
    return child_.Read(replySize, timeoutMs, closed);
  }
  void End(const std::string& message, int) override {
    child_.Send(message);
    child_.CloseInput();
  }
  std::optional<int> Wait(int timeoutMs) override { return child_.Wait(timeoutMs); }
  void Stop() override { child_.Stop(); }
  std::string Rest() override { return child_.Read(0, 100); }

 private:
  ChildProcess child_;
};

class FlockedFolder final : public FolderLock {
 public:
  explicit FlockedFolder(int fd) : fd_(fd) {}
  FlockedFolder(const FlockedFolder&) = delete;
  FlockedFolder& operator=(const FlockedFolder&) = delete;
  ~FlockedFolder() override { close(fd_); }  // which lets go of the lock

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<PluginSession> StartPlugin(const std::string& program, std::string* error) {
  auto session = std::make_unique<PipeSession>(program);
  if (!session->started()) {
    *error = session->error();
    return nullptr;
  }
  return session;
}

std::unique_ptr<FolderLock> HoldFolder(const std::string& directory) {
  // The folder itself is locked: no file is made in it, which may not be writable.
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  while (flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      close(fd);
      return nullptr;
    }
  }
  return std::make_unique<FlockedFolder>(fd);
}

std::string ToolDirectory() {
  return ProgramDirectory();
}

std::optional<std::string> PathForPlugin(const std::string& path) {
  return path;  // the same bytes
}

std::string EndText(int status) {
  return StatusText(status);
}

}  // namespace tvx::core
