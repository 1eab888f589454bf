#include "child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace tvx {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// The cheap way, without copying this process: what the benchmark measures starts with. `in`
// and `out` become the child's standard input and output.
pid_t Spawn(const std::string& program, const ChildOptions& options, char* const argv[],
            char* const envp[], int in, int out, std::string& error) {
  pid_t pid = -1;
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (options.ownGroup) {
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  if (!options.workingDirectory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());
  }
  const int failed = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, envp);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (failed != 0) {
    error = std::strerror(failed);
    pid = -1;
  }
  return pid;
}

// The child made by copying this process, to set its limits and user before it runs `program`.
pid_t ForkAndRun(const std::string& program, const ChildOptions& options, char* const argv[],
                 char* const envp[], int in, int out, std::string& error) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (options.ownGroup) setpgid(0, 0);
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
      _exit(126);
    }
    if (options.addressSpaceLimit != 0) {
      const rlimit limit{options.addressSpaceLimit, options.addressSpaceLimit};
      setrlimit(RLIMIT_AS, &limit);
    }
    if (options.fileSizeLimit != 0) {
      const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.withoutRoot && geteuid() == 0) {
      constexpr uid_t kNobody = 65534;
      if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
        _exit(125);
      }
    }
    execve(program.c_str(), argv, envp);
    _exit(127);
  }
  if (pid < 0) error = std::strerror(errno);
  return pid;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const ChildOptions& options) {
  signal(SIGPIPE, SIG_IGN);  // a child that has gone must not end this process
  int toChild[2];
  int fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) {
    error_ = std::strerror(errno);
    return;
  }
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    error_ = std::strerror(errno);
    close(toChild[0]);
    close(toChild[1]);
    return;
  }
  char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
  char* const noEnvironment[] = {nullptr};
  char* const* envp = options.emptyEnvironment ? noEnvironment : environ;
  ownGroup_ = options.ownGroup;
  pid_ = options.addressSpaceLimit == 0 && options.fileSizeLimit == 0 && !options.withoutRoot
             ? Spawn(program, options, argv, envp, toChild[0], fromChild[1], error_)
             : ForkAndRun(program, options, argv, envp, toChild[0], fromChild[1], error_);
  close(toChild[0]);
  close(fromChild[1]);
  in_ = toChild[1];
  out_ = fromChild[0];
}

ChildProcess::~ChildProcess() {
  CloseInput();
  if (out_ >= 0) close(out_);
  if (pid_ > 0 && !Wait(2000)) {
    kill(pid_, SIGKILL);
    Wait(5000);
  }
}

bool ChildProcess::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(in_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string ChildProcess::Read(std::size_t n, int timeoutMs, bool* closed) {
  std::string data;
  if (closed != nullptr) *closed = false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (n == 0 || data.size() < n) {
    const int left = MillisecondsLeft(deadline);
    if (left == 0) break;
    pollfd p{out_, POLLIN, 0};
    const int ready = poll(&p, 1, left);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char buffer[4096];
    const std::size_t want = n == 0 ? sizeof buffer : std::min(sizeof buffer, n - data.size());
    const ssize_t got = read(out_, buffer, want);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (closed != nullptr) *closed = true;
      break;
    }
    data.append(buffer, static_cast<std::size_t>(got));
  }
  return data;
}

void ChildProcess::CloseInput() {
  if (in_ >= 0) close(in_);
  in_ = -1;
}

std::optional<int> ChildProcess::Wait(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!status_ && pid_ > 0) {
    int raw = 0;
    const pid_t done = waitpid(pid_, &raw, timeoutMs < 0 ? 0 : WNOHANG);
    if (done == pid_) {
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
    } else if (done < 0 && errno != EINTR) {
      status_ = -1;
    } else if (timeoutMs >= 0 && MillisecondsLeft(deadline) == 0) {
      break;
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
  return status_;
}

void ChildProcess::Stop() {
  if (pid_ <= 0) return;
  // The group's other members may outlive its leader: they go too.
  if (ownGroup_) kill(-pid_, SIGKILL);
  if (!status_) {
    kill(pid_, SIGKILL);
    Wait(-1);
  }
}

std::string StatusText(int status) {
  return status >= 0 ? "exit status " + std::to_string(status)
                     : "ended by signal " + std::to_string(-status);
}

}  // namespace tvx
