// What tvx host needs of the platform: finding a plug-in program and its directory, telling
// whether a file was written, and talking to a running plug-in through its exchange channel.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tvx::core {

// What is at a path, as a program to start.
enum class ProgramState { kMissing, kNotAFile, kNotExecutable, kProgram };
ProgramState ProgramStateOf(const std::string& path);

// The real directory of a program (links followed, as the plug-in finds its own).
std::string DirectoryOf(const std::string& program);

// The path of `name` in `directory`.
std::string PathIn(const std::string& directory, const std::string& name);

// True for a path with a directory in it (not a bare name to look up).
bool HasDirectory(const std::string& path);
// The file name of a path, without its directory.
std::string FileNameOf(const std::string& path);

// What a file looks like now: enough to tell whether it was written since.
struct FileStamp {
  bool exists = false;
  std::uint64_t id = 0;
  std::uint64_t size = 0;
  std::uint64_t changed = 0;  // the system's time of the last change, in its own units
};
FileStamp StampOf(const std::string& path);

// A plug-in program running with its exchange channel open to this process. The plug-in and
// whatever it starts are one group (a process group; a job object on Windows), which Stop ends.
class PluginSession {
 public:
  virtual ~PluginSession() = default;
  // Writes the message and returns the reply the plug-in put in the text box (its first
  // `replySize` bytes) within the time, or what there was when its channel closed (`closed`) or
  // the time ran out.
  virtual std::string Ask(const std::string& message, std::size_t replySize, int timeoutMs,
                          bool* closed) = 0;
  // Sends the end message (taking at most the time) and closes the channel.
  virtual void End(const std::string& message, int timeoutMs) = 0;
  // The exit status (or -signal) once the plug-in has ended, within the time; nothing while it
  // still runs.
  virtual std::optional<int> Wait(int timeoutMs) = 0;
  // Ends the plug-in and everything it started, at once.
  virtual void Stop() = 0;
  // Anything the plug-in wrote on its channel after its reply ("" where it cannot).
  virtual std::string Rest() = 0;
};

// Holds a plug-in's folder for one exchange: the exchanges of other tvx processes with a plug-in
// of that folder, which writes its files there, wait until it is let go.
class FolderLock {
 public:
  virtual ~FolderLock() = default;
};
// Waits for the folder and takes it; nothing when it cannot be held (then nothing waits).
std::unique_ptr<FolderLock> HoldFolder(const std::string& directory);

// Starts the plug-in; nothing, with the system's reason, when it cannot be started.
std::unique_ptr<PluginSession> StartPlugin(const std::string& program, std::string* error);

// The folder of the running tvx program.
std::string ToolDirectory();

// The path as a plug-in, which opens byte paths, is sent it; nothing when it cannot be (on
// Windows: a name outside the system's ANSI code page).
std::optional<std::string> PathForPlugin(const std::string& path);

// "exit status 3" or "ended by signal 9", for a status from a session.
std::string EndText(int status);

}  // namespace tvx::core
