// A program started as a child process whose standard input and output are pipes to this one:
// how the tests, tvx host and the benchmark drive a plug-in through its exchange channel.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tvx {

struct ChildOptions {
  std::string workingDirectory;         // empty: this process's
  std::uint64_t addressSpaceLimit = 0;  // bytes; 0 for none
  std::uint64_t fileSizeLimit = 0;      // bytes a file written may hold; 0 for no limit
  // When this process runs as root: run the child as the user nobody, so that file permissions
  // hold for it. No effect for other users.
  bool withoutRoot = false;
  bool emptyEnvironment = false;  // else the child inherits this process's environment
  // The child leads a process group of its own, which Stop ends with everything it started.
  bool ownGroup = false;
};

class ChildProcess {
 public:
  explicit ChildProcess(const std::string& program, const ChildOptions& options = {});
  // Closes the pipes; a child that has not ended within a moment is killed.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // False, with the system's reason in error(), when the program could not be started.
  bool started() const { return pid_ > 0; }
  const std::string& error() const { return error_; }
  pid_t pid() const { return pid_; }
  int input() const { return in_; }    // the child's standard input
  int output() const { return out_; }  // the child's standard output

  // Writes all of `bytes` to the child's standard input; false if the child has gone.
  bool Send(std::string_view bytes);
  // Reads until `n` bytes arrived (0: until the output closes) or the time is up; `closed`, where
  // given, tells whether the output closed.
  std::string Read(std::size_t n, int timeoutMs, bool* closed = nullptr);
  void CloseInput();
  // The exit status, or -signal; nothing while the child still runs after the time (a negative
  // time waits as long as it takes).
  std::optional<int> Wait(int timeoutMs);
  // Kills the child, and its process group when it has one of its own, and waits for it.
  void Stop();

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::optional<int> status_;
  bool ownGroup_ = false;
  std::string error_;
};

// "exit status 3" or "ended by signal 9", for a status from Wait.
std::string StatusText(int status);

}  // namespace tvx
