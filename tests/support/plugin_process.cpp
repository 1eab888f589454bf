#include "plugin_process.h"

#include <gtest/gtest.h>

#include "registry.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace tvx::testing {

std::vector<std::string> Deliverables() {
  std::vector<std::string> names;
  for (const DeliverableInfo* info : AllDeliverables())
    names.emplace_back(info->name);
  return names;
}

std::string ProgramFor(std::string_view classWord) {
  for (const DeliverableInfo* info : AllDeliverables()) {
    if (info->classWord == classWord) return std::string(info->name);
  }
  ADD_FAILURE() << "no deliverable decodes the class " << classWord;
  return {};
}

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "tvx-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // A test may have made parts read-only; give them back before removing.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string PluginPath(std::string_view deliverable) {
  const fs::path path = fs::path(TVX_BIN_DIR) / (std::string(deliverable) + ".tvx");
  return fs::exists(path) ? path.string() : std::string();
}

std::string CopyPlugin(std::string_view deliverable, const std::string& directory) {
  const std::string source = PluginPath(deliverable);
  if (source.empty()) throw std::runtime_error("not built: " + std::string(deliverable));
  const fs::path target = fs::path(directory) / (std::string(deliverable) + ".tvx");
  fs::copy_file(source, target, fs::copy_options::overwrite_existing);
  return target.string();
}

PluginProcess::PluginProcess(const std::string& program, const ProcessOptions& options) {
  int toChild[2];
  int fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(toChild[0], STDIN_FILENO);
    dup2(fromChild[1], STDOUT_FILENO);
    if (chdir(options.workingDirectory.c_str()) != 0) _exit(126);
    if (options.addressSpaceLimit != 0) {
      const rlimit limit{options.addressSpaceLimit, options.addressSpaceLimit};
      setrlimit(RLIMIT_AS, &limit);
    }
    if (options.withoutRoot && geteuid() == 0) {
      constexpr uid_t kNobody = 65534;
      if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(125);
    }
    char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
    char* const envp[] = {nullptr};
    execve(program.c_str(), argv, envp);
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  in_ = toChild[1];
  out_ = fromChild[0];
  signal(SIGPIPE, SIG_IGN);
}

PluginProcess::~PluginProcess() {
  CloseInput();
  if (out_ >= 0) close(out_);
  if (!status_ && pid_ > 0) {
    if (!WaitExit(2000)) {
      kill(pid_, SIGKILL);
      WaitExit(5000);
    }
  }
}

bool PluginProcess::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(in_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::optional<std::string> PluginProcess::Read(std::size_t n, int timeoutMs) {
  std::string data;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (data.size() < n) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd p{out_, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char buffer[256];
    const ssize_t got = read(out_, buffer, std::min(sizeof buffer, n - data.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    data.append(buffer, static_cast<std::size_t>(got));
  }
  return data;
}

std::string PluginProcess::ReadRest(int timeoutMs) {
  std::string data;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return data;
    pollfd p{out_, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return data;
    char buffer[4096];
    const ssize_t got = read(out_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return data;
    data.append(buffer, static_cast<std::size_t>(got));
  }
}

void PluginProcess::CloseInput() {
  if (in_ >= 0) close(in_);
  in_ = -1;
}

std::optional<int> PluginProcess::WaitExit(int timeoutMs) {
  if (status_) return status_;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int raw = 0;
    const pid_t done = waitpid(pid_, &raw, WNOHANG);
    if (done == pid_) {
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
      return status_;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace tvx::testing
