// The cross-built Windows programs, run under Wine.
//
// For each deliverable and each way of talking to it (the text box by window messages, or the
// DDE link), one plug-in process answers, through the Windows test host (winhost.cpp):
//   - every end-to-end case of the deliverable, whose files must equal the expected files with
//     {input} and {missing} standing for the Windows paths;
//   - each bundled sample of the deliverable, with and without offsets, and a message longer
//     than a text box's 32,767 characters, whose files must equal those of the native program
//     for the same requests.
// The host itself checks the window, the messages that must change nothing, typing, and the end
// message. The images are checked too: x86-64 GUI programs that import only system DLLs, with
// the ANSI window calls.
//
// Without mingw-w64, Wine or Xvfb every test exits with 77, which CTest reports as skipped.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "cases.h"
#include "hexstream.h"
#include "pe_image.h"
#include "plugin_process.h"
#include "registry.h"

extern char** environ;

namespace tvx::testing {
namespace {

namespace fs = std::filesystem;

struct Deliverable {
  std::string name;
  std::string caption;  // by which a host finds the window
};

// Every deliverable, with the caption its window must carry: "Tevo Support Library (" + the
// control class word + ")".
std::vector<Deliverable> AllWithCaptions() {
  std::vector<Deliverable> all;
  for (const DeliverableInfo* info : AllDeliverables()) {
    all.push_back({std::string(info->name),
                   "Tevo Support Library (" + std::string(info->classWord) + ")"});
  }
  return all;
}

const char* const kOutputs[] = {"TEVOLIBFILE.TMP", "TEVOLIBFILE2.TMP", "TEVOGRAPHICFILE1.TMP"};
const char kInstall[] = "apt-get install -y mingw-w64 wine64 xvfb";

bool IsProgram(const char* path) {
  return path[0] != '\0' && access(path, X_OK) == 0;
}

// What is missing for the Wine tests (or, with `imagesOnly`, for the image checks), or "".
std::string MissingTools(bool imagesOnly) {
  std::string missing;
  if (!fs::exists(TVX_WINDOWS_HOST)) missing += " the cross-built Windows programs (mingw-w64)";
  if (imagesOnly) return missing;
  if (!IsProgram(TVX_WINE) || !IsProgram(TVX_WINESERVER)) missing += " Wine (wine64)";
  if (!IsProgram(TVX_XVFB_RUN)) missing += " xvfb-run (xvfb)";
  return missing;
}

// Wine shows the whole file system as drive Z:.
std::string WinePath(const fs::path& path) {
  std::string text = fs::absolute(path).lexically_normal().string();
  std::replace(text.begin(), text.end(), '/', '\\');
  return "Z:" + text;
}

std::string ReadOrMissing(const fs::path& path) {
  if (!fs::exists(path)) return "<missing>";
  return hexstream::ReadFile(path.string());
}

// Runs a program with the Wine settings added to the environment, its output into `log`;
// returns its exit status. After `timeoutSeconds` the program and everything it started are
// killed, Wine's processes with them.
int RunLogged(const std::vector<std::string>& args, const fs::path& log, int timeoutSeconds) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("WINE", 0) != 0 && entry.rfind("DISPLAY=", 0) != 0) env.push_back(entry);
  }
  env.push_back(std::string("WINEPREFIX=") + TVX_WINE_PREFIX);
  env.push_back("WINEARCH=win64");
  env.push_back("WINEDEBUG=-all");
  env.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");  // no offer to install .NET or a browser
  env.push_back(std::string("WINESERVER=") + TVX_WINESERVER);
  std::vector<char*> argv;
  for (const auto& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    setpgid(0, 0);
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_RDONLY);
    if (fd < 0 || null < 0) _exit(126);
    dup2(null, STDIN_FILENO);
    dup2(fd, STDOUT_FILENO);
    dup2(fd, STDERR_FILENO);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      if (fork() == 0) {  // Wine's own processes live outside the group
        setenv("WINEPREFIX", TVX_WINE_PREFIX, 1);
        execl(TVX_WINESERVER, TVX_WINESERVER, "-k", static_cast<char*>(nullptr));
        _exit(127);
      }
      wait(nullptr);
      std::ofstream(log, std::ios::app) << "\nkilled after " << timeoutSeconds << " s\n";
      return -1;
    }
    usleep(100000);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A Windows program under Wine in a fresh X display. The Wine server is waited for before the
// display goes, so that the next test starts from nothing.
int RunUnderWine(const std::vector<std::string>& command, const fs::path& log, int timeoutSeconds) {
  std::vector<std::string> args = {TVX_XVFB_RUN,
                                   "-a",
                                   "-s",
                                   "-screen 0 1024x768x24",
                                   "/bin/sh",
                                   "-c",
                                   "\"$0\" \"$@\"; status=$?; \"$WINESERVER\" -w; exit $status",
                                   TVX_WINE};
  args.insert(args.end(), command.begin(), command.end());
  return RunLogged(args, log, timeoutSeconds);
}

std::string Tail(const fs::path& log) {
  std::ifstream in(log);
  std::ostringstream all;
  all << in.rdbuf();
  const std::string text = all.str();
  return text.size() > 6000 ? "..." + text.substr(text.size() - 6000) : text;
}

// Makes the Wine prefix once per build tree.
int PreparePrefix() {
  const fs::path prefix = TVX_WINE_PREFIX;
  if (fs::exists(prefix / "system.reg")) {
    std::cout << "Wine prefix " << prefix << " is ready\n";
    return 0;
  }
  fs::remove_all(prefix);  // an unfinished one
  const fs::path log = prefix.string() + ".log";
  const auto start = std::chrono::steady_clock::now();
  const int status = RunUnderWine({"wineboot", "-i"}, log, 500);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "wineboot -i: status " << status << " after " << seconds << " s\n" << Tail(log);
  return status == 0 && fs::exists(prefix / "system.reg") ? 0 : 1;
}

// ---- The images --------------------------------------------------------------------------------

TEST(PeImages, GuiProgramsImportingOnlySystemDlls) {
  const std::vector<std::string> system = {"kernel32.dll", "user32.dll", "msvcrt.dll",
                                           "advapi32.dll", "ntdll.dll",  "ucrtbase.dll"};
  int built = 0;
  for (const Deliverable& d : AllWithCaptions()) {
    const fs::path path = fs::path(TVX_WINDOWS_BIN_DIR) / (d.name + ".tvx");
    if (PluginPath(d.name).empty()) continue;  // the decoder is not in this tree yet
    SCOPED_TRACE(d.name);
    ++built;
    ASSERT_TRUE(fs::exists(path)) << "not cross-built: " << path;
    const auto image = ParsePeImage(hexstream::ReadFile(path.string()));
    ASSERT_TRUE(image.has_value()) << "not a PE image";
    EXPECT_EQ(image->machine, 0x8664);
    EXPECT_EQ(image->optionalMagic, 0x20B);  // PE32+
    EXPECT_EQ(image->subsystem, 2);          // Windows GUI, no console
    for (const auto& [dll, functions] : image->imports) {
      const bool known = std::find(system.begin(), system.end(), dll) != system.end() ||
                         dll.rfind("api-ms-win-crt-", 0) == 0;
      EXPECT_TRUE(known) << "imports " << dll;
    }
    ASSERT_TRUE(image->imports.count("user32.dll"));
    const auto& user32 = image->imports.at("user32.dll");
    const auto has = [&](const char* f) {
      return std::find(user32.begin(), user32.end(), f) != user32.end();
    };
    for (const char* ansi : {"CreateWindowExA", "SetWindowTextA", "GetWindowTextA",
                             "DdeInitializeA", "DdeCreateStringHandleA"}) {
      EXPECT_TRUE(has(ansi)) << "does not import " << ansi;
    }
    for (const char* wide : {"CreateWindowExW", "SetWindowTextW", "GetWindowTextW",
                             "DdeInitializeW", "DdeCreateStringHandleW", "DefWindowProcW"}) {
      EXPECT_FALSE(has(wide)) << "imports " << wide;
    }
  }
  EXPECT_GT(built, 0);
}

// ---- One plug-in process per deliverable and way -----------------------------------------------

struct Expected {
  std::string name;
  std::string request;  // complete message
  std::string listing, block;
  std::optional<std::string> picture;
};

struct Sample {
  std::string file;
  std::string start;
};

std::vector<Sample> SamplesOf(const std::string& deliverable) {
  std::vector<Sample> samples;
  std::ifstream list(fs::path(TVX_SAMPLES_DIR) / "samples.txt");
  std::string line;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    std::string name, file, start;
    if (fields >> name >> file >> start && name == deliverable) samples.push_back({file, start});
  }
  return samples;
}

// The native program's files for each request, in one process, as the reference for requests
// that have no expected files of their own.
std::vector<Expected> NativeAnswers(
    const std::string& deliverable,
    const std::vector<std::pair<std::string, std::string>>& requests /* name, message */) {
  std::vector<Expected> answers;
  TempDir home;
  PluginProcess plugin(CopyPlugin(deliverable, home.path()));
  for (const auto& [name, request] : requests) {
    fs::remove(home / kOutputs[2]);
    EXPECT_TRUE(plugin.Send(request));
    EXPECT_EQ(plugin.ReadReply(), kReply) << name;
    Expected e{name, request, ReadOrMissing(home / kOutputs[0]), ReadOrMissing(home / kOutputs[1]),
               std::nullopt};
    if (fs::exists(home / kOutputs[2])) e.picture = hexstream::ReadFile(home / kOutputs[2]);
    answers.push_back(std::move(e));
  }
  plugin.Send(std::string("^END") + kEndMark);
  EXPECT_EQ(plugin.WaitExit(5000), 0);
  return answers;
}

class HostRun : public ::testing::TestWithParam<std::tuple<Deliverable, const char*>> {};

TEST_P(HostRun, FilesMatchByteForByte) {
  const auto& [deliverable, mode] = GetParam();
  const std::string name = deliverable.name;
  if (PluginPath(name).empty()) GTEST_SKIP() << name << " is not built";
  const fs::path program = fs::path(TVX_WINDOWS_BIN_DIR) / (name + ".tvx");
  ASSERT_TRUE(fs::exists(program)) << "not cross-built: " << program;

  const fs::path work = fs::path(TVX_WINDOWS_WORK_DIR) / (name + "." + mode);
  fs::remove_all(work);
  for (const char* dir : {"home", "inputs", "requests"})
    fs::create_directories(work / dir);
  const fs::path home = work / "home";  // the plug-in's own directory, where its files appear
  fs::copy_file(program, home / program.filename());
  const fs::path missing = work / "inputs" / "no-such-program.exe";

  // The end-to-end cases, with their expected files.
  std::vector<Expected> expected;
  for (const Case& c : LoadCases(name)) {
    const fs::path input = work / "inputs" / (c.name + ".exe");
    hexstream::WriteFile(input.string(), c.stream);
    const std::map<std::string, std::string> values = {{"input", WinePath(input)},
                                                       {"missing", WinePath(missing)}};
    expected.push_back({c.name, Substitute(c.request, values) + kEndMark,
                        Substitute(c.listing, values), Substitute(c.block, values), c.picture});
  }
  // Requests answered as the native program answers them.
  std::vector<std::pair<std::string, std::string>> onLinux, windows;
  for (const Sample& s : SamplesOf(name)) {
    const fs::path file = fs::path(TVX_SAMPLES_DIR) / s.file;
    for (const char* flag : {"Y", "N"}) {
      const std::string tail = "#" + s.start + "@" + flag + kEndMark;
      onLinux.emplace_back("sample " + s.file + " @" + flag, "%" + file.string() + tail);
      windows.emplace_back(onLinux.back().first, "%" + WinePath(file) + tail);
    }
  }
  const std::string tooLong = "%" + std::string(40000, 'x') + "#1@N" + kEndMark;
  onLinux.emplace_back("a message of 40,006 characters", tooLong);
  windows.push_back(onLinux.back());
  std::vector<Expected> native = NativeAnswers(name, onLinux);
  ASSERT_EQ(native.size(), windows.size());
  EXPECT_EQ(native.back().listing.rfind("Invalid request", 0), 0u) << native.back().listing;
  for (std::size_t i = 0; i < native.size(); ++i) {
    native[i].request = windows[i].second;
    expected.push_back(std::move(native[i]));
  }

  for (std::size_t k = 0; k < expected.size(); ++k) {
    hexstream::WriteFile((work / "requests" / (std::to_string(k + 1) + ".msg")).string(),
                         expected[k].request);
  }

  const fs::path log = work / "host.log";
  const int status =
      RunUnderWine({TVX_WINDOWS_HOST, mode, WinePath(home / program.filename()),
                    deliverable.caption, name, WinePath(work), std::to_string(expected.size())},
                   log, 400);
  EXPECT_EQ(status, 0) << "the host reports (" << log << "):\n" << Tail(log);
  std::cout << Tail(log);

  for (std::size_t k = 0; k < expected.size(); ++k) {
    const Expected& e = expected[k];
    SCOPED_TRACE(name + " " + mode + ": " + e.name);
    const fs::path results = work / "results" / std::to_string(k + 1);
    EXPECT_EQ(ReadOrMissing(results / "reply.txt"), kReply);
    EXPECT_EQ(ReadOrMissing(results / kOutputs[0]), e.listing);
    EXPECT_EQ(ReadOrMissing(results / kOutputs[1]), e.block);
    if (e.picture) {
      EXPECT_EQ(ReadOrMissing(results / kOutputs[2]), *e.picture);
    } else {
      EXPECT_FALSE(fs::exists(results / kOutputs[2])) << "a picture was written";
    }
  }
  EXPECT_FALSE(fs::exists(missing)) << "a missing input file was created";
}

std::string RunName(const ::testing::TestParamInfo<HostRun::ParamType>& info) {
  std::string name = std::get<0>(info.param).name + "_" + std::get<1>(info.param);
  std::replace(name.begin(), name.end(), '.', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Wine, HostRun,
                         ::testing::Combine(::testing::ValuesIn(AllWithCaptions()),
                                            ::testing::Values("window", "dde")),
                         RunName);

}  // namespace
}  // namespace tvx::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const bool prepare = argc > 1 && std::string(argv[1]) == "--prepare-prefix";
  const bool imagesOnly = !prepare && GTEST_FLAG_GET(filter).rfind("PeImages", 0) == 0;
  const std::string missing = tvx::testing::MissingTools(imagesOnly);
  if (!missing.empty()) {
    std::cout << "Skipped: the Windows tests need" << missing
              << ". Install with: " << tvx::testing::kInstall << "\n";
    return 77;
  }
  if (prepare) return tvx::testing::PreparePrefix();
  return RUN_ALL_TESTS();
}
