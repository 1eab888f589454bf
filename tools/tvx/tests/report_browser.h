// What the report's browser tests share: tvx run to its end, headless chromium driven through its
// DevTools protocol over a pipe (--remote-debugging-pipe: commands in on descriptor 3, replies out
// on 4, each message a JSON text ended by a NUL), and the programs and streams the pages are made
// of.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tvx::testing {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

inline const std::string kSamples = TVX_SAMPLES_DIR;

// Starts `argv` with its standard output on `out` (a descriptor), `extra` on descriptors 3, 4.
inline pid_t Start(const std::vector<std::string>& argv, int out, std::vector<int> extra = {}) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (out >= 0) posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  for (std::size_t i = 0; i < extra.size(); ++i)
    posix_spawn_file_actions_adddup2(&actions, extra[i], 3 + static_cast<int>(i));
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

// Runs tvx to its end; its exit status, and its standard output in `out`.
inline int Tvx(const std::vector<std::string>& args, std::string* out = nullptr) {
  int pipe[2];
  if (pipe2(pipe, O_CLOEXEC) != 0) return -1;
  std::vector<std::string> argv = {TVX_TOOL};
  argv.insert(argv.end(), args.begin(), args.end());
  const pid_t pid = Start(argv, pipe[1]);
  close(pipe[1]);
  char buffer[65536];
  for (ssize_t n; (n = read(pipe[0], buffer, sizeof buffer)) > 0;)
    if (out != nullptr) out->append(buffer, static_cast<std::size_t>(n));
  close(pipe[0]);
  int raw = 0;
  if (pid < 0 || waitpid(pid, &raw, 0) != pid) return -1;
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Headless chromium with one page, driven through the DevTools protocol.
class Browser {
 public:
  explicit Browser(const fs::path& profile) {
    int commands[2];
    int replies[2];
    if (pipe2(commands, O_CLOEXEC) != 0 || pipe2(replies, O_CLOEXEC) != 0) return;
    pid_ = Start({"chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking", "--disable-component-update",
                  "--disable-sync", "--remote-debugging-pipe",
                  "--user-data-dir=" + profile.string(), "about:blank"},
                 -1, {commands[0], replies[1]});
    close(commands[0]);
    close(replies[1]);
    to_ = commands[1];
    from_ = replies[0];
    if (pid_ < 0) return;
    const Json target = Call("Target.createTarget", {{"url", "about:blank"}}, false);
    session_ = Call("Target.attachToTarget",
                    {{"targetId", target.value("targetId", "")}, {"flatten", true}}, false)
                   .value("sessionId", "");
    for (const char* domain : {"Runtime.enable", "Log.enable", "Page.enable"})
      Call(domain);
  }
  ~Browser() { Close(); }

  // Closes the browser and waits for it to end: after this it writes nothing more to its profile,
  // which can then be removed.
  void Close() {
    if (pid_ > 0) {
      Send("Browser.close", Json::object(), false);
      for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (kill(pid_, 0) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
      pid_ = -1;
    }
    if (to_ >= 0) close(to_);
    if (from_ >= 0) close(from_);
    to_ = from_ = -1;
  }

  bool ready() const { return !session_.empty(); }

  // The page's width and height in CSS pixels, as a window of that size shows it.
  void Width(int width, int height = 800) {
    Call("Emulation.setDeviceMetricsOverride",
         {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}});
  }

  Json Call(const std::string& method, const Json& params = Json::object(), bool page = true) {
    const int id = Send(method, params, page);
    const Json reply = Next([id](const Json& m) { return m.value("id", 0) == id; });
    if (reply.contains("error")) throw std::runtime_error(method + ": " + reply.dump());
    return reply.value("result", Json::object());
  }

  // Opens the page afresh (a blank page first: a page that differs only in its fragment would
  // not be loaded again) and waits for its load; the seconds from the navigation to the load's end.
  double Open(const fs::path& file) {
    for (const std::string& url :
         {std::string("about:blank"), "file://" + fs::absolute(file).string()}) {
      const auto start = Clock::now();
      Call("Page.navigate", {{"url", url}});
      Next([](const Json& m) { return m.value("method", "") == "Page.loadEventFired"; });
      if (url != "about:blank") return std::chrono::duration<double>(Clock::now() - start).count();
    }
    return 0;
  }

  // Loads the page again, as the browser's reload does.
  void Reload() {
    Call("Page.reload");
    Next([](const Json& m) { return m.value("method", "") == "Page.loadEventFired"; });
  }

  // The value of a script expression (awaited when it is a promise).
  Json Eval(const std::string& expression) {
    const Json result =
        Call("Runtime.evaluate",
             {{"expression", expression}, {"awaitPromise", true}, {"returnByValue", true}});
    if (result.contains("exceptionDetails")) {
      throw std::runtime_error("script failed: " + result["exceptionDetails"].dump());
    }
    return result["result"].value("value", Json());
  }

  // What the page said on its console as errors, and its uncaught exceptions.
  const std::vector<std::string>& errors() const { return errors_; }
  void ClearErrors() { errors_.clear(); }

 private:
  int Send(const std::string& method, const Json& params, bool page) {
    Json message = {{"id", ++id_}, {"method", method}, {"params", params}};
    if (page) message["sessionId"] = session_;
    const std::string text = message.dump() + '\0';
    for (std::size_t done = 0; done < text.size();) {
      const ssize_t n = write(to_, text.data() + done, text.size() - done);
      if (n <= 0) throw std::runtime_error("the browser does not read its commands");
      done += static_cast<std::size_t>(n);
    }
    return id_;
  }

  template <typename Match>
  Json Next(Match match) {
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    for (;;) {
      for (std::size_t end; (end = buffer_.find('\0')) != std::string::npos;) {
        Json message = Json::parse(buffer_.substr(0, end));
        buffer_.erase(0, end + 1);
        Note(message);
        if (match(message)) return message;
      }
      pollfd p = {from_, POLLIN, 0};
      const int left = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
      char chunk[65536];
      const ssize_t n = left > 0 && poll(&p, 1, left) > 0 ? read(from_, chunk, sizeof chunk) : 0;
      if (n <= 0) throw std::runtime_error("no answer from the browser");
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

  void Note(const Json& message) {
    const std::string method = message.value("method", "");
    const Json params = message.value("params", Json::object());
    const bool error =
        method == "Runtime.exceptionThrown" ||
        (method == "Runtime.consoleAPICalled" && params.value("type", "") == "error") ||
        (method == "Log.entryAdded" &&
         params.value("entry", Json::object()).value("level", "") == "error");
    if (error) errors_.push_back(params.dump());
  }

  pid_t pid_ = -1;
  int to_ = -1;
  int from_ = -1;
  int id_ = 0;
  std::string session_;
  std::string buffer_;
  std::vector<std::string> errors_;
};

// A fresh folder for one test's files and the browser's profile.
inline fs::path Scratch(const std::string& name) {
  const fs::path dir =
      fs::temp_directory_path() / ("tvx-report-" + name + "-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "profile");
  return dir;
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A record as a compiled form stores a control: its name, its class name, its stream.
inline std::string Record(const std::string& name, const std::string& className) {
  std::string bytes = {static_cast<char>(name.size()), '\0'};
  bytes += name + std::string("\0\xFF", 2);
  bytes += {static_cast<char>(className.size()), '\0'};
  return bytes + className + '\0';
}

struct Expected {
  std::string path, name;
  double position;
  std::string control;
  std::string index = {};  // the stream's Index, shown after the name, or ""
  std::string Shown() const { return index.empty() ? name : name + "(" + index + ")"; }
};

// The bundled samples, each stream named by samples.txt.
inline std::vector<Expected> Samples() {
  std::vector<Expected> samples;
  std::ifstream list(kSamples + "/samples.txt");
  for (std::string line; std::getline(list, line);) {
    std::istringstream words(line);
    Expected e;
    if (line.empty() || line[0] == '#' || !(words >> e.control >> e.path >> e.position)) continue;
    e.path = kSamples + "/" + e.path;
    samples.push_back(e);
  }
  return samples;
}

// A record's id: FNV-1a of its program's key (the path below the folder named, or the name of a
// file named itself), and its position.
inline std::string KeyId(const std::string& key, double position) {
  std::uint32_t hash = 2166136261u;
  for (const char c : key)
    hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08x", hash);
  return "r-" + std::string(hex) + "-" + std::to_string(static_cast<long long>(position));
}

// The id of a record in a file named itself, or at the top of the folder named.
inline std::string IdOf(const std::string& path, double position) {
  return KeyId(fs::path(path).filename().string(), position);
}

inline std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace tvx::testing
