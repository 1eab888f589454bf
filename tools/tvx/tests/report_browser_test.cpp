// tvx report's page in a real browser: headless chromium driven through its DevTools protocol
// over a pipe (--remote-debugging-pipe: commands in on descriptor 3, replies out on 4, each
// message a JSON text ended by a NUL). The page is read as a person would see it: its records,
// its pictures, the bytes a block line marks, and texts of the stream shown as text.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "hexstream.h"

extern char** environ;

namespace tvx::testing {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

const std::string kSamples = TVX_SAMPLES_DIR;

// Starts `argv` with its standard output on `out` (a descriptor), `extra` on descriptors 3, 4.
pid_t Start(const std::vector<std::string>& argv, int out, std::vector<int> extra = {}) {
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
int Tvx(const std::vector<std::string>& args, std::string* out = nullptr) {
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
  ~Browser() {
    if (pid_ > 0) {
      Send("Browser.close", Json::object(), false);
      for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (kill(pid_, 0) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
    }
    if (to_ >= 0) close(to_);
    if (from_ >= 0) close(from_);
  }

  bool ready() const { return !session_.empty(); }

  Json Call(const std::string& method, const Json& params = Json::object(), bool page = true) {
    const int id = Send(method, params, page);
    const Json reply = Next([id](const Json& m) { return m.value("id", 0) == id; });
    if (reply.contains("error")) throw std::runtime_error(method + ": " + reply.dump());
    return reply.value("result", Json::object());
  }

  // Opens the page and waits for its load; the seconds from the navigation to the load's end.
  double Open(const fs::path& file) {
    const auto start = Clock::now();
    Call("Page.navigate", {{"url", "file://" + fs::absolute(file).string()}});
    Next([](const Json& m) { return m.value("method", "") == "Page.loadEventFired"; });
    return std::chrono::duration<double>(Clock::now() - start).count();
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
fs::path Scratch(const std::string& name) {
  const fs::path dir =
      fs::temp_directory_path() / ("tvx-report-" + name + "-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "profile");
  return dir;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A record as a compiled form stores a control: its name, its class name, its stream.
std::string Record(const std::string& name, const std::string& className) {
  std::string bytes = {static_cast<char>(name.size()), '\0'};
  bytes += name + std::string("\0\xFF", 2);
  bytes += {static_cast<char>(className.size()), '\0'};
  return bytes + className + '\0';
}

// Each picture format the page shows, as its own smallest file, written out by hand.
struct Picture {
  const char* name;  // of the record that holds it
  const char* hex;
  int width;
};
const Picture kPictures[] = {
    {"IconPicture",  // an icon: its directory, then one 1x1 32-bit bitmap and its mask
     "00 00 01 00 w:1  01 01 00 00 w:1 w:32 l:48 l:22"
     "  l:40 l:1 l:2 w:1 w:32 l:0 l:0 l:0 l:0 l:0 l:0  FF 00 00 FF  00 00 00 00",
     1},
    {"CursorPicture",  // the same as a cursor: type 2, a hot spot instead of planes and bits
     "00 00 02 00 w:1  01 01 00 00 w:0 w:0 l:48 l:22"
     "  l:40 l:1 l:2 w:1 w:32 l:0 l:0 l:0 l:0 l:0 l:0  00 FF 00 FF  00 00 00 00",
     1},
    {"BitmapPicture",  // 14-byte file header, 40-byte header, one 24-bit pixel and its padding
     "\"BM\" l:58 w:0 w:0 l:54  l:40 l:3 l:1 w:1 w:24 l:0 l:12 l:2835 l:2835 l:0 l:0"
     "  00 00 FF  00 FF 00  FF 00 00  00 00 00",
     3},
    {"GifPicture",  // 2x1, two colours; LZW of 3-bit codes clear, 0, 0, end: 04 0A
     "\"GIF89a\" w:2 w:1 80 00 00  00 00 00 FF FF FF  2C w:0 w:0 w:2 w:1 00  02 02 04 0A 00  3B",
     2},
    {"JpegPicture",  // 1 wide, 1 high, grey; one-code tables: DC 0 is "0", end of block "0"
     "FF D8  FF DB 00 43 00 r:64:01  FF C0 00 0B 08 w:0x0100 w:0x0100 01 01 11 00"
     "  FF C4 00 14 00 01 z:15 00  FF C4 00 14 10 01 z:15 00  FF DA 00 08 01 01 00 00 3F 00"
     "  3F  FF D9",
     1},
};

// Stream texts that would be markup, a script or the end of the data's element in a page that
// took them as HTML; bytes E9 and FF are the characters U+00E9 and U+00FF, byte 85 a control.
const std::string kTagText = "</script><script>window.tvxRan=1</script></pre>\"'&amp;<b>\xE9</b>";
const std::string kTipText = "<img src=x onerror=\"window.tvxRan=2\"><!--\xFF\x85";

struct Expected {
  std::string path, name;
  double position;
  std::string control;
};

// A program whose records each hold a picture of one shown format, and one whose texts are
// hostile; every stream is the plug-in host control's (its class given with --class).
std::string HostileProgram(const fs::path& path, std::vector<Expected>& expected) {
  std::string program = hexstream::Parse("\"MZ\" z:62 \"PE\" 00 00 z:100");
  const auto add = [&](const std::string& name, const std::string& stream) {
    program += Record(name, "Tevo.Host");
    expected.push_back(
        {path.string(), name, static_cast<double>(program.size() + 1), "ActiveXPlugin"});
    program += hexstream::Parse(stream) + std::string(16, '\0');
  };
  const std::string controlBlock = " 2D z:16 l:4260 l:2566 ";  // end of section A, the block
  for (const Picture& picture : kPictures) {
    const std::size_t size = hexstream::Parse(picture.hex).size();
    add(picture.name,
        "0A l:" + std::to_string(size + 8) + " z:8 " + picture.hex + controlBlock + "FF");
  }
  const auto quoted = [](const std::string& text) {
    std::string hex = "\"";
    for (const char c : text) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
      hex += escaped;
    }
    return hex + "\"";
  };
  add("Hostile", "0B w:" + std::to_string(kTagText.size()) + " u" + quoted(kTagText) +
                     controlBlock + "4A w:0 " + quoted(kTipText) + " 00 FF");
  WriteFile(path, program);
  return program;
}

// The bundled samples, each stream named by samples.txt.
std::vector<Expected> Samples() {
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

// The page's records as shown: program path, name, position and how the decode ended, in the
// page's order.
constexpr const char* kShownRecords = R"(
  [...document.querySelectorAll('section.program')].flatMap((section) =>
    [...section.querySelectorAll('details.record > summary')].map((summary) => {
      const cells = [...summary.children].map((cell) => cell.textContent);
      return [section.querySelector('h2').textContent, cells[0], +cells[3], cells[5]];
    })))";

// Opens every record, waits until each is built and its pictures are decoded (or failed).
constexpr const char* kOpenAll = R"((async () => {
  const records = [...document.querySelectorAll('details.record')];
  for (const record of records) record.querySelector('summary').click();
  for (let i = 0; i < 500 && records.some((r) => !r.querySelector('.body')); i++)
    await new Promise((done) => setTimeout(done, 10));
  await Promise.all([...document.images].map((image) => image.decode().catch(() => null)));
  await new Promise((done) => setTimeout(done, 50));  // the failed ones' error events
  return records.length;
})())";

// For each open record: for each block line, the positions of the bytes marked once it is
// clicked.
constexpr const char* kMarksPerBlockLine = R"(
  [...document.querySelectorAll('details.record')].map((record) =>
    [...record.querySelectorAll('.block li[data-line]')].map((line) => {
      line.click();
      return [...record.querySelectorAll('.hex .bytes .v.mark')].flatMap((span) =>
        span.textContent.split(' ').map((_, i) => +span.dataset.at + i));
    })))";

TEST(ReportInBrowser, SamplesHostileTextsAndPictures) {
  const fs::path dir = Scratch("samples");
  std::vector<Expected> expected = Samples();
  ASSERT_EQ(expected.size(), 6u) << "samples.txt names the six samples";
  HostileProgram(dir / "hostile.exe", expected);
  std::vector<std::string> args = {"report",  (dir / "hostile.exe").string(),
                                   "-o",      (dir / "report.html").string(),
                                   "--class", "Tevo.Host=ActiveXPlugin"};
  for (const Expected& e : expected) {
    if (e.name.empty())
      args.push_back("--stream=" + e.control + ":" + std::to_string(static_cast<int>(e.position)) +
                     ":" + e.path);
  }
  ASSERT_EQ(Tvx(args), 0);

  Browser browser(dir / "profile");
  ASSERT_TRUE(browser.ready()) << "headless chromium did not start (scripts/deps.sh test installs "
                                  "Debian's chromium)";
  browser.Open(dir / "report.html");

  // Every record, in file order within each program, programs in the order given.
  Json shown = browser.Eval(kShownRecords);
  ASSERT_EQ(shown.size(), expected.size()) << shown.dump();
  std::vector<Expected> inPageOrder = expected;
  std::rotate(inPageOrder.begin(), inPageOrder.begin() + 6, inPageOrder.end());
  for (std::size_t i = 0; i < inPageOrder.size(); ++i) {
    EXPECT_EQ(shown[i][0], inPageOrder[i].path);
    EXPECT_EQ(shown[i][1],
              inPageOrder[i].name.empty() ? "(given by position)" : inPageOrder[i].name);
    EXPECT_EQ(shown[i][2], inPageOrder[i].position);
    EXPECT_EQ(shown[i][3], "end_code");  // every stream here ends with code 255
  }

  // Every picture of a shown format decoded at its size; the sample's picture, a cut icon, is
  // not shown but can be saved.
  ASSERT_EQ(browser.Eval(kOpenAll), expected.size());
  const Json images = browser.Eval(
      "[...document.images].map((i) => [i.closest('details').querySelector('summary')"
      ".firstChild.textContent, i.naturalWidth])");
  ASSERT_EQ(images.size(), std::size(kPictures)) << images.dump();
  for (std::size_t i = 0; i < images.size(); ++i) {
    EXPECT_EQ(images[i][0], kPictures[i].name);
    EXPECT_EQ(images[i][1], kPictures[i].width) << kPictures[i].name;
  }
  EXPECT_EQ(browser.Eval("document.querySelectorAll('figure a[download]').length"),
            std::size(kPictures) + 1);

  // A block line marks exactly the bytes of the reads tvx explain names for it.
  const Json marks = browser.Eval(kMarksPerBlockLine);
  ASSERT_EQ(marks.size(), inPageOrder.size());
  for (std::size_t r = 0; r < inPageOrder.size(); ++r) {
    const Expected& e = inPageOrder[r];
    std::string json;
    Tvx({"explain", e.control, e.path, std::to_string(static_cast<int>(e.position)), "--json"},
        &json);
    const Json explained = Json::parse(json);
    std::map<double, double> sizes;
    for (const Json& value : explained["values"])
      sizes[value["position"].get<double>()] = value["consumed"].get<double>();
    ASSERT_EQ(marks[r].size(), explained["block"].size()) << e.path << " " << e.name;
    for (std::size_t line = 0; line < marks[r].size(); ++line) {
      std::set<double> bytes;
      const Json& from = explained["block"][line]["from"];
      for (const Json& position : from.is_array() ? from : Json::array()) {
        const double at = position.get<double>();
        for (double b = 0; b < sizes.at(at); ++b)
          bytes.insert(at + b);
      }
      EXPECT_EQ(marks[r][line].get<std::set<double>>(), bytes)
          << e.path << " " << e.name << ": " << explained["block"][line]["line"];
    }
  }

  // The hostile texts are shown as the texts they are, and no script of theirs ran.
  const Json texts = browser.Eval("[...document.querySelectorAll('li')].map((l) => l.textContent)");
  const auto shownText = [&texts](const std::string& text) {
    return std::any_of(texts.begin(), texts.end(), [&](const Json& t) {
      return t.get<std::string>().find(text) != std::string::npos;
    });
  };
  EXPECT_TRUE(
      shownText("Tag: </script><script>window.tvxRan=1</script></pre>\"'&amp;<b>\u00e9</b>"));
  EXPECT_TRUE(shownText("<img src=x onerror=\"window.tvxRan=2\"><!--\u00ff\\x85"));
  EXPECT_EQ(browser.Eval("typeof window.tvxRan"), "undefined");
  EXPECT_EQ(browser.Eval("[...document.scripts].filter((s) => s.type !== 'application/json')"
                         ".length"),
            1);
  EXPECT_EQ(browser.Eval("document.querySelectorAll('b, pre, img:not([src^=\"data:\"])').length"),
            0);

  // From the keyboard: a line's arrow down chooses the next line.
  browser.Eval("document.querySelector('.block li[data-line]').focus()");
  browser.Call("Input.dispatchKeyEvent", {{"type", "keyDown"},
                                          {"key", "ArrowDown"},
                                          {"code", "ArrowDown"},
                                          {"windowsVirtualKeyCode", 40}});
  EXPECT_EQ(browser.Eval("document.activeElement.classList.contains('chosen') && "
                         "document.activeElement.dataset.line"),
            "1");

  // The filter narrows the records by name, class or control.
  for (const auto& [query, count] : std::vector<std::pair<std::string, int>>{
           {"picture", 5}, {"tevo.host", 6}, {"persona", 1}, {"nothing", 0}, {"", 12}}) {
    EXPECT_EQ(
        browser.Eval("(() => { const f = document.getElementById('filter'); f.value = '" + query +
                     "'; f.dispatchEvent(new Event('input')); return "
                     "document.querySelectorAll('details.record:not([hidden])').length})()"),
        count)
        << query;
  }
  EXPECT_TRUE(browser.errors().empty()) << browser.errors().front();
  fs::remove_all(dir);
}

// The class names a compiled form stores for each control (the plug-in host's is its hosted
// plug-in's, given with --class).
const std::map<std::string, std::string> kClassNames = {
    {"PERSONA.Persona", "AgentObjectsCtl.Agent"}, {"EMBEDHOST.Embedder", "Tevo.Host"},
    {"DTGRID.Almanac", "MSACAL.Calendar"},        {"RECNAV.Navigator", "MSAdodcLib.Adodc"},
    {"STDPICK.Picker", "MSComDlg.CommonDialog"},  {"SERLINK.SerialLink", "MSCommLib.MSComm"}};

// A program like a real one of 2 MB: 75 records of the six classes among bytes of code. Each
// record's stream is a sample's (its bytes from the stream's start to the end of the sample
// file); the plug-in host's instead holds a 32x32 icon as its DragIcon, as real forms do.
std::string LargeProgram() {
  std::string icon = hexstream::Parse(
      "00 00 01 00 w:1  20 20 00 00 w:1 w:32 l:4264 l:22"
      "  l:40 l:32 l:64 w:1 w:32 l:0 l:4224 l:0 l:0 l:0 l:0");
  for (int pixel = 0; pixel < 32 * 32; ++pixel)
    icon += {static_cast<char>(pixel * 7), static_cast<char>(pixel / 4), '\x80', '\xFF'};
  icon += std::string(32 * 4, '\0');  // the mask
  std::vector<std::string> streams;
  const std::vector<Expected> samples = Samples();
  for (const Expected& sample : samples) {
    std::ifstream in(sample.path, std::ios::binary);
    const std::string file{std::istreambuf_iterator<char>(in), {}};
    streams.push_back(file.substr(static_cast<std::size_t>(sample.position) - 1));
  }
  constexpr std::size_t kSize = 2 * 1024 * 1024;
  std::mt19937 random(23);
  std::string program = hexstream::Parse("\"MZ\" z:62 \"PE\" 00 00");
  for (std::size_t i = 0; i < 75; ++i) {
    while (program.size() < kSize * (i + 1) / 76)
      program += static_cast<char>(random());
    const Expected& sample = samples[i % samples.size()];
    program += Record("Control" + std::to_string(i + 1), kClassNames.at(sample.control));
    if (sample.control == "EMBEDHOST.Embedder") {
      program += hexstream::Parse("0A l:" + std::to_string(icon.size() + 8) + " z:8") + icon +
                 hexstream::Parse("2D z:16 l:4260 l:2566 FF");
    } else {
      program += streams[i % samples.size()];
    }
  }
  while (program.size() < kSize)
    program += static_cast<char>(random());
  return program;
}

// The sizes and times the report is held to, with a 2 MB program of 75 records: its report
// under 2 MB, built in under a second (in a build as shipped: an instrumented one is slower), and
// shown without errors. With TVX_REPORT_BENCH set (as scripts/bench.sh does), also a report of
// 100 such programs, which must open in the browser in under 2 s: a time, measured on a quiet
// machine, not in the suite that runs beside other tests.
// With TVX_REPORT_KEEP set, the program and the reports are kept (for a look, or a profile).
TEST(ReportInBrowser, LargeReportsOpenQuickly) {
  const fs::path dir = Scratch("large");
  WriteFile(dir / "program.exe", LargeProgram());
  std::vector<std::string> args = {"report", "--class", "Tevo.Host=ActiveXPlugin", "-o"};
  auto start = Clock::now();
  std::vector<std::string> one = args;
  one.insert(one.end(), {(dir / "one.html").string(), (dir / "program.exe").string()});
  ASSERT_EQ(Tvx(one), 0);
  const double built = std::chrono::duration<double>(Clock::now() - start).count();
  const auto size = fs::file_size(dir / "one.html");
  EXPECT_LT(size, 2'000'000u);
#ifdef TVX_SHIPPED_BUILD
  EXPECT_LT(built, 1.0);
#endif
  if (std::getenv("TVX_REPORT_BENCH") == nullptr) {
    Browser browser(dir / "profile");
    ASSERT_TRUE(browser.ready());
    browser.Open(dir / "one.html");
    EXPECT_EQ(browser.Eval("document.querySelectorAll('details.record').length"), 75);
    EXPECT_TRUE(browser.errors().empty()) << browser.errors().front();
    std::printf("one program of 2 MiB, 75 records: report of %llu bytes built in %.2f s\n",
                static_cast<unsigned long long>(size), built);
    if (std::getenv("TVX_REPORT_KEEP") == nullptr) fs::remove_all(dir);
    return;
  }

  args.push_back((dir / "hundred.html").string());
  for (int i = 1; i <= 100; ++i) {
    const fs::path copy = dir / ("program" + std::to_string(i) + ".exe");
    fs::create_symlink(dir / "program.exe", copy);
    args.push_back(copy.string());
  }
  start = Clock::now();
  ASSERT_EQ(Tvx(args), 0);
  const double builtHundred = std::chrono::duration<double>(Clock::now() - start).count();

  Browser browser(dir / "profile");
  ASSERT_TRUE(browser.ready());
  const double opened = browser.Open(dir / "hundred.html");
  const Json shown = browser.Eval(
      "[document.querySelectorAll('details.record').length, "
      "performance.getEntriesByName('tvx-ready')[0].startTime]");
  EXPECT_EQ(shown[0], 7500);
  EXPECT_LT(opened, 2.0);
  // The last record opens and shows its bytes.
  EXPECT_EQ(browser.Eval("(async () => { const r = [...document.querySelectorAll("
                         "'details.record')].pop(); r.querySelector('summary').click(); "
                         "await new Promise((done) => setTimeout(done, 50)); "
                         "return r.querySelectorAll('.hex .row').length > 0; })()"),
            true);
  EXPECT_TRUE(browser.errors().empty()) << browser.errors().front();
  std::printf(
      "one program of 2 MiB, 75 records: report of %llu bytes built in %.2f s\n"
      "100 such programs: report of %llu bytes built in %.2f s, opened in %.2f s "
      "(the page ready %.0f ms after the navigation started)\n",
      static_cast<unsigned long long>(size), built,
      static_cast<unsigned long long>(fs::file_size(dir / "hundred.html")), builtHundred, opened,
      shown[1].get<double>());
  if (std::getenv("TVX_REPORT_KEEP") == nullptr) fs::remove_all(dir);
}

}  // namespace
}  // namespace tvx::testing
