// Starting a built plug-in program and talking to it through its exchange channel, as a host
// does off Windows: requests to its standard input, replies from its standard output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "child_process.h"

namespace tvx::testing {

inline constexpr char kEndMark = static_cast<char>(255);
inline const std::string kReply = std::string("^DONE") + kEndMark;

// A fresh directory, removed with everything in it at the end of its life.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

// The deliverables of the tree, by program name, in the order they are declared.
std::vector<std::string> Deliverables();
// The program name of the deliverable whose control class word is `classWord` ("Agent").
std::string ProgramFor(std::string_view classWord);

// The built program of a deliverable, or "" when it was not built.
std::string PluginPath(std::string_view deliverable);
// Copies the program into `directory`, where it will write its files; returns the copy's path.
std::string CopyPlugin(std::string_view deliverable, const std::string& directory);

struct ProcessOptions {
  std::string workingDirectory = "/";
  std::uint64_t addressSpaceLimit = 0;  // bytes; 0 for none
  std::uint64_t fileSizeLimit = 0;      // bytes a file written may hold; 0 for no limit
  // When the tests run as root: run the program as the user nobody, so that file permissions
  // hold for it (a read-only directory is read-only). Has no effect for other users.
  bool withoutRoot = false;
};

// A plug-in started as the host starts one off Windows: no arguments, no environment, its
// standard input and output the exchange channel.
class PluginProcess {
 public:
  explicit PluginProcess(const std::string& program, const ProcessOptions& options = {});

  // Writes all bytes to the plug-in's standard input; false if the plug-in has gone.
  bool Send(std::string_view bytes) { return child_.Send(bytes); }
  // Reads exactly n bytes of the plug-in's standard output; nothing on time-out or end.
  std::optional<std::string> Read(std::size_t n, int timeoutMs);
  std::optional<std::string> ReadReply(int timeoutMs = 5000) {
    return Read(kReply.size(), timeoutMs);
  }
  // Whatever arrives on standard output until it closes or the time is up.
  std::string ReadRest(int timeoutMs) { return child_.Read(0, timeoutMs); }
  void CloseInput() { child_.CloseInput(); }
  // Closes this end of the plug-in's standard output, as a host that stops reading does: the
  // plug-in's next write there fails (or, where it does not ignore SIGPIPE, ends it).
  void CloseOutput();
  // The exit status, or -signal; nothing when the process is still running after the time.
  std::optional<int> WaitExit(int timeoutMs) { return child_.Wait(timeoutMs); }
  pid_t pid() const { return child_.pid(); }

 private:
  ChildProcess child_;
};

}  // namespace tvx::testing
