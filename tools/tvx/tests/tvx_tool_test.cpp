// The tvx program as its users run it: decode against the plug-ins' own files, explain's
// accounting of every byte, host through a plug-in's channel, and the argument errors.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "cases.h"
#include "hexstream.h"
#include "names.h"
#include "picture_format.h"
#include "plugin_process.h"
#include "record_finder.h"
#include "text.h"
#include "tvx/decode_run.h"
#include "tvx/dispatcher.h"
#include "tvx/text.h"

extern char** environ;

namespace tvx::testing {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Reads every open descriptor of `fds` until each ends (a terminal's master ends with EIO once
// the program has closed its side).
void Collect(std::vector<std::pair<int, std::string*>> fds) {
  std::vector<pollfd> polled;
  for (const auto& [fd, into] : fds)
    polled.push_back({fd, POLLIN, 0});
  for (std::size_t open = polled.size(); open > 0;) {
    if (poll(polled.data(), polled.size(), 30000) <= 0) break;
    for (std::size_t i = 0; i < polled.size(); ++i) {
      if (polled[i].fd < 0 || polled[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(polled[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        fds[i].second->append(buffer, static_cast<std::size_t>(n));
      } else {
        close(polled[i].fd);
        polled[i].fd = -1;
        --open;
      }
    }
  }
  for (const pollfd& p : polled) {
    if (p.fd >= 0) close(p.fd);
  }
}

// Starts a program with its standard input from `input` (a file; "" for /dev/null) and its
// standard output to `output` (a file, or "" for a pipe) and runs it to its end.
Outcome RunProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& input = "", const std::string& output = "") {
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO,
                                   input.empty() ? "/dev/null" : input.c_str(), O_RDONLY, 0);
  if (output.empty()) {
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  if (failed != 0) throw std::runtime_error("cannot start " + program);
  Outcome outcome;
  Collect({{out[0], &outcome.out}, {err[0], &outcome.err}});
  int raw = 0;
  waitpid(pid, &raw, 0);
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return outcome;
}

// Runs a program (tvx unless given) with a pseudo-terminal as its standard output, or, with
// `terminalInput`, as its standard input (then ended at once with an end of file) and a pipe as
// its output. `environment` is added to this process's, NO_COLOR left out.
Outcome RunOnTerminal(const std::vector<std::string>& args,
                      const std::vector<std::string>& environment,
                      const std::string& program = TVX_TOOL, bool terminalInput = false) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    throw std::runtime_error("no pseudo-terminal");
  }
  const std::string terminal = ptsname(master);
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (terminalInput) {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, terminal.c_str(), O_RDWR, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, terminal.c_str(), O_RDWR, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  std::vector<std::string> env(environment);
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::string_view(*e).rfind("NO_COLOR=", 0) != 0) env.emplace_back(*e);
  }
  std::vector<char*> envp;
  for (std::string& e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int failed =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  if (failed != 0) throw std::runtime_error("cannot start " + program);
  Outcome outcome;
  std::string echoed;
  if (terminalInput) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const char endOfFile = 4;  // the terminal's end of input
    if (write(master, &endOfFile, 1) != 1) throw std::runtime_error("write to the terminal");
    Collect({{out[0], &outcome.out}, {err[0], &outcome.err}});
    close(master);
  } else {
    Collect({{master, &outcome.out}, {out[0], &echoed}, {err[0], &outcome.err}});
  }
  int raw = 0;
  waitpid(pid, &raw, 0);
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return outcome;
}

Outcome Tvx(const std::vector<std::string>& args) {
  return RunProgram(TVX_TOOL, args);
}

std::string ReadOrMissing(const std::string& path) {
  if (!fs::exists(path)) return "<missing>";
  return hexstream::ReadFile(path);
}

struct Sample {
  std::string deliverable;
  std::string path;
  std::string start;
};

std::vector<Sample> Samples() {
  std::vector<Sample> samples;
  std::ifstream list(std::string(TVX_SAMPLES_DIR) + "/samples.txt");
  std::string line;
  while (std::getline(list, line)) {
    std::istringstream words(line);
    Sample s;
    std::string file;
    if (line.empty() || line[0] == '#' || !(words >> s.deliverable >> file >> s.start)) continue;
    s.path = std::string(TVX_SAMPLES_DIR) + "/" + file;
    samples.push_back(s);
  }
  return samples;
}

// One built plug-in, copied into a directory of its own and running there.
class Plugin {
 public:
  explicit Plugin(const std::string& deliverable)
      : process_(CopyPlugin(deliverable, home_.path())) {}

  struct Files {
    std::string listing;
    std::string block;
    std::string picture;  // "<missing>" when the request wrote none
  };

  Files Request(const std::string& path, const std::string& position, char flag) {
    fs::remove(home_ / "TEVOGRAPHICFILE1.TMP");
    EXPECT_TRUE(process_.Send("%" + path + "#" + position + "@" + flag + kEndMark));
    EXPECT_EQ(process_.ReadReply(), kReply);
    return {ReadOrMissing(home_ / "TEVOLIBFILE.TMP"), ReadOrMissing(home_ / "TEVOLIBFILE2.TMP"),
            ReadOrMissing(home_ / "TEVOGRAPHICFILE1.TMP")};
  }

 private:
  TempDir home_;
  PluginProcess process_;
};

// The last CR LF line of a text, without its line end.
std::string LastLine(const std::string& text) {
  const auto lines = render::CrLfLines(text);
  return lines.empty() ? std::string() : std::string(lines.back());
}

// tvx decode for one request; checks it against the plug-in's files, picture included.
void ExpectDecodeEqualsPlugin(Plugin& plugin, const std::string& deliverable,
                              const std::string& path, const std::string& position, char flag,
                              const std::string& pictureDir) {
  const Plugin::Files files = plugin.Request(path, position, flag);
  const std::string picture = pictureDir + "/picture.bin";
  fs::remove(picture);
  std::vector<std::string> args = {"decode", deliverable, path, position, "--picture", picture};
  if (flag == 'Y') args.push_back("--offsets");
  const Outcome decoded = Tvx(args);
  // The listing's last line tells how the decode ended: cut, stopped, or at the end code.
  const std::string last = LastLine(files.listing);
  const bool cut = last == "Unexpected end of file";
  const bool stopped = last.ends_with(" Parse Error");
  EXPECT_EQ(decoded.status, cut || stopped ? 3 : 0) << decoded.err;
  if (cut || stopped) {
    EXPECT_NE(decoded.err.find(cut ? "ended early: the file ends before the stream's end code"
                                   : "section B: its stop line ends the decode\n"),
              std::string::npos)
        << decoded.err;
  }
  EXPECT_EQ(decoded.out, files.listing + files.block);
  EXPECT_EQ(ReadOrMissing(picture), files.picture);
}

std::vector<std::string> BuiltDeliverables(const std::vector<std::string>& names) {
  std::vector<std::string> built;
  for (const std::string& name : names) {
    if (!PluginPath(name).empty()) built.push_back(name);
  }
  return built;
}

TEST(TvxDecode, EqualsThePluginsFilesForEverySample) {
  int compared = 0;
  TempDir scratch;
  for (const Sample& s : Samples()) {
    if (PluginPath(s.deliverable).empty()) continue;
    SCOPED_TRACE(s.deliverable + " " + s.path);
    Plugin plugin(s.deliverable);
    for (const char flag : {'N', 'Y'}) {
      ExpectDecodeEqualsPlugin(plugin, s.deliverable, s.path, s.start, flag, scratch.path());
      ++compared;
    }
  }
  EXPECT_GE(compared, 4);  // the agent and plug-in host samples at least, both flags
}

// Every end-to-end case whose request names its own stream with a valid position: tvx decode
// equals the plug-in's files and the files worked out by hand for the case.
TEST(TvxDecode, EqualsThePluginsFilesForEveryCaseStream) {
  TempDir inputs;
  for (const std::string& deliverable : BuiltDeliverables(CaseDeliverables())) {
    Plugin plugin(deliverable);
    int compared = 0;
    for (const Case& c : LoadCases(deliverable)) {
      SCOPED_TRACE(deliverable + "/" + c.name);
      const std::string input = inputs / (deliverable + "_" + c.name + ".exe");
      hexstream::WriteFile(input, c.stream);
      const std::map<std::string, std::string> values = {{"input", input},
                                                         {"missing", inputs / "missing.exe"}};
      const std::string text = Substitute(c.request, values);
      const Request request = ParseRequest(text + kEndMark);
      if (!request.valid || request.path != input) continue;  // tested by the e2e cases
      const std::size_t hash = text.find('#');
      const std::string position = text.substr(hash + 1, text.find('@') - hash - 1);
      ExpectDecodeEqualsPlugin(plugin, deliverable, input, position, request.offsets ? 'Y' : 'N',
                               inputs.path());
      std::vector<std::string> args = {"decode", deliverable, input, position};
      if (request.offsets) args.push_back("--offsets");
      EXPECT_EQ(Tvx(args).out, Substitute(c.listing, values) + Substitute(c.block, values));
      ++compared;
    }
    EXPECT_GT(compared, 0) << deliverable;
  }
}

// The rows of an explanation that carry file bytes: position and bytes.
struct Row {
  double position;
  std::string bytes;
};

struct Explanation {
  std::vector<Row> rows;
  std::vector<std::string> lines;
  std::string stopped;  // the "== stopped ... ==" line
};

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// A row with bytes: "<position> | 0x<offset> | <hex pairs> ...". Nothing for any other line.
std::optional<Row> ParseRow(const std::string& line) {
  std::size_t i = line.find_first_not_of(' ');
  const std::size_t digits = i;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9')
    ++i;
  if (i == digits || line.compare(i, 3, " | ") != 0) return std::nullopt;
  const double position = std::stod(line.substr(digits, i - digits));
  i = line.find_first_not_of(' ', i + 3);
  if (i == std::string::npos || line.compare(i, 2, "0x") != 0) return std::nullopt;
  const std::size_t hexStart = i += 2;
  while (i < line.size() && IsHexDigit(line[i]))
    ++i;
  // The offset is the position less one, in hexadecimal.
  EXPECT_EQ(std::stoull(line.substr(hexStart, i - hexStart), nullptr, 16),
            static_cast<std::uint64_t>(position) - 1)
      << line;
  if (line.compare(i, 3, " | ") != 0) return std::nullopt;
  i += 3;
  Row row{position, {}};
  while (i + 1 < line.size() && IsHexDigit(line[i]) && IsHexDigit(line[i + 1]) &&
         (i + 2 == line.size() || line[i + 2] == ' ')) {
    row.bytes.push_back(static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16)));
    i += 3;
  }
  if (row.bytes.empty()) return std::nullopt;
  return row;
}

Explanation ParseExplanation(const std::string& text) {
  Explanation e;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    e.lines.push_back(line);
    if (const std::optional<Row> row = ParseRow(line)) e.rows.push_back(*row);
    if (line.rfind("== stopped", 0) == 0) e.stopped = line;
  }
  return e;
}

// Checks that the rows hold the file's bytes from `start` on, each exactly once and in order,
// up to the last byte read; returns the position after the last byte shown.
double ExpectEveryByteOnce(const Explanation& e, const std::string& file, double start) {
  double next = start;
  for (const Row& row : e.rows) {
    EXPECT_EQ(row.position, next) << "gap or overlap at " << row.position;
    const auto at = static_cast<std::size_t>(row.position - 1);
    EXPECT_EQ(row.bytes, file.substr(at, row.bytes.size())) << "at " << row.position;
    next = row.position + static_cast<double>(row.bytes.size());
  }
  for (const std::string& line : e.lines)
    EXPECT_EQ(line.find("!!"), std::string::npos) << line;
  return next;
}

TEST(TvxExplain, AccountsForEveryByteOfEverySample) {
  int explained = 0;
  for (const Sample& s : Samples()) {
    if (PluginPath(s.deliverable).empty()) continue;
    SCOPED_TRACE(s.deliverable + " " + s.path);
    const Outcome outcome = Tvx({"explain", s.deliverable, s.path, s.start});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const Explanation e = ParseExplanation(outcome.out);
    const std::string file = hexstream::ReadFile(s.path);
    ASSERT_FALSE(e.rows.empty());
    const double end = ExpectEveryByteOnce(e, file, std::stod(s.start));
    // A sample's stream ends with code 255, the last byte shown.
    EXPECT_EQ(e.rows.back().bytes.back(), '\xFF');
    EXPECT_NE(e.lines.end(), std::find_if(e.lines.begin(), e.lines.end(), [](const auto& l) {
                return l.find("| FF") != std::string::npos &&
                       l.find("code 255: end of section B") != std::string::npos;
              }));
    const std::string last = std::to_string(static_cast<long long>(end - 1));
    EXPECT_EQ(e.stopped.rfind("== stopped after position " + last + " (", 0), 0u) << e.stopped;
    EXPECT_NE(e.stopped.find(": end code 255 =="), std::string::npos) << e.stopped;
    ++explained;
  }
  EXPECT_GE(explained, 2);
}

// Samples worked out from their annotated hex. The agent's: section A 1025-1043 (Index, Tag
// "Merlin", 2D), the control block 1044-1063 (12 header bytes, _cx, _cy), section B 1064-1074
// (Left 120, Top 240, FF). The plug-in host's: DragIcon's 8-byte picture header at 1581 and its
// 16 image bytes at 1589, and in section B ToolTipText's zero-terminated text at 1640-1654. The
// agent's again, 10^9 bytes further into a sparse file: positions of ten digits and offsets of
// eight hexadecimal ones fill their columns.
TEST(TvxExplain, ShowsTheSamplesFramesAndValues) {
  struct Shown {
    const char* control;
    const char* file;
    const char* start;
    std::vector<const char*> expected;
    std::uint64_t moved = 0;  // the file's bytes this far into a sparse file
  };
  const Shown samples[] = {
      {"agent",
       "agent.exe",
       "1000001025",
       {"1000001031 | 0x3B9ACE06 | 4D 00 65 00 72 00 6C 00 | UTF-16 text \"Merlin\"\n"
        "1000001039 | 0x3B9ACE0E | 69 00 6E 00\n"},
       1000000000},
      {"agent",
       "agent.exe",
       "1025",
       {
           "-- section A from position 1025 (0x400)",
           "      1028 |      0x403 | 0B                      | code 11: Tag\n",
           "      1031 |      0x406 | 4D 00 65 00 72 00 6C 00 | UTF-16 text \"Merlin\"\n"
           "      1039 |      0x40E | 69 00 6E 00\n"
           "           |            |                         | => Tag: Merlin\n",
           "      1043 |      0x412 | 2D                      | code 45: end of section A\n"
           "-- control block from position 1044 (0x413)",
           "      1056 |      0x41F | 4F 03 00 00             | long 847\n",
           "-- section B from position 1064 (0x427)",
           "      1065 |      0x428 | 78 00 00 00             | long 120\n"
           "           |            |                         | => Left: 120\n",
           "== stopped after position 1074 (0x431): end code 255 ==\n"
           "== 50 bytes accounted for, positions 1025 to 1074 (0x400 to 0x431) ==\n",
       }},
      {"ActiveXPlugin",
       "pluginhost.exe",
       "1537",
       {
           "      1581 |      0x62C | 00 00 00 00 00 00 00 00 | picture header\n"
           "      1589 |      0x634 | 00 00 01 00 01 00 10 10 | picture bytes: 16 bytes of the "
           "picture file\n"
           "      1597 |      0x63C | 10 00 01 00 04 00 2C 01\n",
           "      1640 |      0x667 | 50 6C 61 79 73 20 74 68 | zero-terminated text \"Plays the "
           "clip\"\n"
           "      1648 |      0x66F | 65 20 63 6C 69 70 00\n"
           "           |            |                         | => ToolTipText: Plays the clip\n",
       }},
  };
  TempDir dir;
  for (const Shown& sample : samples) {
    std::string path = std::string(TVX_SAMPLES_DIR) + "/" + sample.file;
    if (sample.moved > 0) {
      const std::string bytes = hexstream::ReadFile(path);
      path = dir / sample.file;
      std::ofstream out(path, std::ios::binary);
      out.seekp(static_cast<std::streamoff>(sample.moved));
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      ASSERT_TRUE(out.flush());
    }
    const Outcome outcome = Tvx({"explain", sample.control, path, sample.start});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    for (const char* expected : sample.expected) {
      EXPECT_NE(outcome.out.find(expected), std::string::npos) << "missing: " << expected << "\n"
                                                               << outcome.out;
    }
  }
}

// Streams that stop early, each worked out by hand: where the decode stops and why.
TEST(TvxExplain, AccountsForEveryByteOfStreamsThatStopEarly) {
  struct Stream {
    const char* name;
    const char* hex;
    const char* start;
    double end;  // position after the last byte shown
    const char* stopped;
  };
  const Stream streams[] = {
      // Section A 1-8, control block 9-28, Left at 29-33, code 50 unknown in section B at 34.
      {"parse error", "0B w:2 u\"Hi\" 2D z:12 l:1 l:2 39 l:5 32 l:7 FF", "1", 35,
       "== stopped after position 34 (0x21): stop line \"AGENTOBJECT Parse Error\" for code 50, "
       "which this control does not know in section B =="},
      // The Tag's text wants 10 bytes, the file holds 4 of them (4-7); no code byte follows.
      {"cut in a text", "0B w:5 u\"ab\"", "1", 8,
       "== stopped after position 7 (0x6): Unexpected end of file: the next code byte would lie "
       "past the end of the file =="},
      // Starting at 4: 2D, then the control block is cut after 3 of its 20 bytes.
      {"cut in the control block", "AA BB CC 2D 01 02 03", "4", 8,
       "== stopped after position 7 (0x6): Unexpected end of file: the next code byte would lie "
       "past the end of the file =="},
      // Unknown section A codes are passed over one byte at a time.
      {"unknown codes", "05 06 2D z:20 FF", "1", 25,
       "== stopped after position 24 (0x17): end code 255 =="},
      {"past the end", "01 02", "10", 10,
       "== stopped before reading anything: Unexpected end of file: the next code byte would lie "
       "past the end of the file =="},
  };
  TempDir dir;
  for (const Stream& s : streams) {
    SCOPED_TRACE(s.name);
    const std::string path = dir / "stream.exe";
    const std::string file = hexstream::Parse(s.hex);
    hexstream::WriteFile(path, file);
    const Outcome outcome = Tvx({"explain", "Agent", path, s.start});
    const bool endCode = std::string_view(s.stopped).ends_with(": end code 255 ==");
    EXPECT_EQ(outcome.status, endCode ? 0 : 3) << outcome.err;
    const Explanation e = ParseExplanation(outcome.out);
    EXPECT_EQ(ExpectEveryByteOnce(e, file, std::stod(s.start)), s.end) << outcome.out;
    EXPECT_EQ(e.stopped, s.stopped) << outcome.out;
  }
}

TEST(TvxExplain, MarksCodesTheControlDoesNotKnow) {
  TempDir dir;
  const std::string path = dir / "stream.exe";
  hexstream::WriteFile(path, hexstream::Parse("05 2D z:20 32 l:7"));
  const Outcome outcome = Tvx({"explain", "Agent", path, "1"});
  EXPECT_NE(
      outcome.out.find("         1 |        0x0 | 05                      | code 5: not known "
                       "to this control, passed over\n"),
      std::string::npos)
      << outcome.out;
  EXPECT_NE(outcome.out.find("        23 |       0x16 | 32                      | code 50: not "
                             "known to this control\n           |            |                   "
                             "      | => AGENTOBJECT Parse Error\n"),
            std::string::npos)
      << outcome.out;
}

// A Tag of 150 characters at positions 4-303: the table shows its first 256 bytes (4-259) and
// says 44 more follow, unless --whole asks for every byte.
TEST(TvxExplain, ShowsALongValuesFirstBytesUnlessWholeIsAsked) {
  TempDir dir;
  const std::string path = dir / "stream.exe";
  const std::string file = hexstream::Parse("0B w:150 r:300:41 2D z:20 FF");
  hexstream::WriteFile(path, file);
  const Outcome cut = Tvx({"explain", "Agent", path, "1"});
  ASSERT_EQ(cut.status, 0) << cut.err;
  const Explanation e = ParseExplanation(cut.out);
  std::vector<double> starts;
  for (const Row& row : e.rows)
    starts.push_back(row.position);
  EXPECT_NE(std::find(starts.begin(), starts.end(), 252.0), starts.end());
  EXPECT_EQ(std::find(starts.begin(), starts.end(), 260.0), starts.end()) << cut.out;
  EXPECT_NE(cut.out.find("\n           |            |                         | ... and 44 bytes "
                         "more (--whole shows every byte)\n           |            |            "
                         "             | => Tag: AAAA"),
            std::string::npos)
      << cut.out;
  EXPECT_NE(cut.out.find("\n       304 |      0x12F | 2D "), std::string::npos) << cut.out;

  const Outcome whole = Tvx({"explain", "Agent", path, "1", "--whole"});
  ASSERT_EQ(whole.status, 0) << whole.err;
  EXPECT_EQ(ExpectEveryByteOnce(ParseExplanation(whole.out), file, 1), 326) << whole.out;
  EXPECT_EQ(whole.out.find("bytes more"), std::string::npos);
}

// tvx host against a copy of each plug-in that has a sample: the reply, then the plug-in's own
// files as it wrote them, then the end.
TEST(TvxHost, DrivesAPluginThroughItsChannel) {
  int driven = 0;
  for (const Sample& s : Samples()) {
    if (PluginPath(s.deliverable).empty()) continue;
    SCOPED_TRACE(s.deliverable);
    TempDir home;
    const std::string program = CopyPlugin(s.deliverable, home.path());
    const Outcome outcome = Tvx({"host", program, s.path, s.start, "Y"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const std::string listing = hexstream::ReadFile(home / "TEVOLIBFILE.TMP");
    const std::string block = hexstream::ReadFile(home / "TEVOLIBFILE2.TMP");
    // Piped, every line ends with CR LF, as the files' own lines do.
    const std::string expected =
        "plug-in: " + program + "\r\nrequest: %" + s.path + "#" + s.start +
        "@Y\\xFF\r\nreply:   ^DONE\\xFF\r\n== TEVOLIBFILE.TMP, " + std::to_string(listing.size()) +
        " bytes, in " + home.path() + " ==\r\n" + listing + "== TEVOLIBFILE2.TMP, " +
        std::to_string(block.size()) + " bytes, in " + home.path() + " ==\r\n" + block;
    EXPECT_EQ(outcome.out.substr(0, expected.size()), expected);
    const Outcome decoded = Tvx({"decode", s.deliverable, s.path, s.start, "--offsets"});
    EXPECT_EQ(decoded.out, listing + block);
    std::string tail = "end:     ^END\\xFF -> exit status 0\r\n";
    if (fs::exists(home / "TEVOGRAPHICFILE1.TMP")) {
      tail = "== TEVOGRAPHICFILE1.TMP, " +
             std::to_string(fs::file_size(home / "TEVOGRAPHICFILE1.TMP")) + " bytes, in " +
             home.path() + " (a picture, not shown) ==\r\n" + tail;
    }
    EXPECT_EQ(outcome.out.substr(expected.size()), tail);
    ++driven;
  }
  EXPECT_GE(driven, 2);
}

// A plug-in named by its class word is looked up beside tvx, and writes in its own directory.
TEST(TvxHost, FindsAPluginBesideTheTool) {
  TempDir bin;
  const std::string tool = bin / "tvx";
  fs::copy_file(TVX_TOOL, tool);
  CopyPlugin(ProgramFor("Agent"), bin.path());
  const Outcome outcome =
      RunProgram(tool, {"host", "agent", std::string(TVX_SAMPLES_DIR) + "/agent.exe", "1025"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_NE(outcome.out.find("plug-in: " + (bin / (ProgramFor("Agent") + ".tvx"))),
            std::string::npos);
  EXPECT_EQ(hexstream::ReadFile(bin / "TEVOLIBFILE.TMP"),
            "Tag: Merlin\r\nLeft: 120\r\nTop: 240\r\n");
  // Installed: tvx in PREFIX/bin, the plug-ins in PREFIX/libexec/tvx.
  TempDir prefix;
  fs::create_directories(prefix / "bin");
  fs::create_directories(prefix / "libexec/tvx");
  fs::copy_file(TVX_TOOL, prefix / "bin/tvx");
  CopyPlugin(ProgramFor("Agent"), prefix / "libexec/tvx");
  const Outcome installed = RunProgram(
      prefix / "bin/tvx", {"host", "agent", std::string(TVX_SAMPLES_DIR) + "/agent.exe", "1025"});
  ASSERT_EQ(installed.status, 0) << installed.err;
  EXPECT_EQ(hexstream::ReadFile(prefix / "libexec/tvx/TEVOLIBFILE.TMP"),
            "Tag: Merlin\r\nLeft: 120\r\nTop: 240\r\n");
  // A control whose program is in neither folder: which file, and where it was looked for.
  const Outcome missing = RunProgram(
      prefix / "bin/tvx", {"host", "MSComm", std::string(TVX_SAMPLES_DIR) + "/comm.exe", "5121"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "tvx host: the plug-in program SERLINK.SerialLink.tvx is in neither " +
                             (prefix / "bin") + " nor " + (prefix / "bin/../libexec/tvx") + "\n");
  EXPECT_EQ(missing.out, "");
}

TEST(TvxArguments, HelpAndVersion) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"--help"}, "usage: tvx [-q] [--color WHEN] COMMAND"},
      {{"help"}, "usage: tvx [-q] [--color WHEN] COMMAND"},
      {{"-h", "scan"}, "usage: tvx scan PATH..."},
      {{"help", "decode"}, "usage: tvx decode CONTROL FILE POSITION"},
      {{"decode", "--help"}, "usage: tvx decode CONTROL FILE POSITION"},
      {{"explain", "-h"}, "usage: tvx explain CONTROL FILE POSITION"},
      {{"host", "agent", "--help"}, "usage: tvx host PLUGIN FILE POSITION"},
      {{"--version"}, "tvx 3.0\n"},
      {{"-V"}, "tvx 3.0\n"},
  };
  for (const auto& [args, usage] : cases) {
    const Outcome outcome = Tvx(args);
    EXPECT_EQ(outcome.status, 0) << args[0];
    EXPECT_EQ(outcome.out.rfind(usage, 0), 0u) << outcome.out;
    EXPECT_EQ(outcome.err, "");
  }
}

// Every status a script relies on, with what standard error says and nothing on standard output
// for the errors.
TEST(TvxArguments, ExitStatusesAndErrors) {
  TempDir dir;
  const std::string file = dir / "stream.exe";
  hexstream::WriteFile(file, hexstream::Parse("2D z:20 FF"));
  const std::string cut = dir / "cut.exe";
  hexstream::WriteFile(cut, hexstream::Parse("2D z:20"));
  const std::string missing = dir / "missing.exe";
  const std::string hashed = dir / "a#b.exe";
  hexstream::WriteFile(hashed, "");
  const std::string agent = PluginPath(ProgramFor("Agent"));
  const std::string usage = "\ntry 'tvx decode --help'\n";
  // A plug-in whose folder it cannot write its listing in (a folder stands in its way).
  TempDir home;
  const std::string blocked = CopyPlugin(ProgramFor("Agent"), home.path());
  fs::create_directory(home / "TEVOLIBFILE.TMP");
  // A plug-in that never answers.
  const std::string silent = dir / "silent.tvx";
  hexstream::WriteFile(silent, "#!/bin/sh\nexec sleep 30\n");
  fs::permissions(silent, fs::perms::owner_all);
  // A plug-in the system would not start.
  const std::string unexecutable = dir / "SERLINK.SerialLink.tvx";
  fs::copy_file(PluginPath("SERLINK.SerialLink"), unexecutable);
  fs::permissions(unexecutable, fs::perms::owner_read | fs::perms::owner_write);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;  // the whole of standard error, or a part of it (`part`)
    bool part = false;
  };
  const Case cases[] = {
      {{"decode", "agent", file, "1"}, 0, ""},
      {{"decode", "agent", file, "--file-offset=0"}, 0, ""},
      {{"decode", "AgentObjectsCtl.AGENT", file, "1"}, 0, ""},  // the class name scan prints
      // From position 2 every byte is a code the agent does not know in section A.
      {{"decode", "agent", file, "1.5"},
       3,
       "tvx decode: warning: position 1.5 rounded to 2, as the plug-ins round it (half to "
       "even)\ntvx decode: the decode ended early: the file ends before the stream's end code: "
       "the next code byte would lie at position 23 (0x16), past its end\n"},
      {{"decode", "agent", cut, "1"},
       3,
       "tvx decode: the decode ended early: the file ends before the stream's end code: the "
       "next code byte would lie at position 22 (0x15), past its end\n"},
      // A file that cannot be read: status 1, the reason, nothing on standard output.
      {{"decode", "agent", missing, "1"},
       1,
       "tvx decode: cannot read \"" + missing + "\": No such file or directory\n"},
      {{"decode", "agent", dir.path(), "1"},
       1,
       "tvx decode: cannot read \"" + dir.path() + "\": Is a directory\n"},
      {{"decode", "agent", "/dev/null", "1"},
       1,
       "tvx decode: cannot read \"/dev/null\": not a regular file\n"},
      {{"decode", "agent", "", "1"}, 1, "tvx decode: cannot read \"\": not a file name\n"},
      {{"explain", "agent", missing, "1"},
       1,
       "tvx explain: cannot read \"" + missing + "\": No such file or directory\n"},
      {{"scan", missing}, 1, "tvx scan: cannot read \"" + missing + "\"", true},
      {{},
       2,
       "tvx: a command is missing (decode, explain, scan, outline, host, properties, report, "
       "help)\ntry "
       "'tvx --help'\n"},
      {{"decod"}, 2, "tvx: unknown command \"decod\"; did you mean 'decode'?\ntry 'tvx --help'\n"},
      {{"help", "frobnicate"}, 2, "tvx help: no command \"frobnicate\"\n", true},
      {{"decode", "agent", file},
       2,
       "tvx decode: the stream's POSITION (or --file-offset OFFSET) is missing" + usage},
      {{"decode", "agent"},
       2,
       "tvx decode: expected CONTROL FILE POSITION, got 1 argument" + usage},
      {{"decode", "grid", file, "1"},
       2,
       "tvx decode: unknown control \"grid\"\nthe controls (deliverable, class word; class "
       "names) are:\n",
       true},
      {{"decode", "agent", file, "0"}, 2, "tvx decode: \"0\" is not a start position", true},
      {{"decode", "agent", file, "-5"}, 2, "tvx decode: unknown option -5" + usage},
      // Positions are whole numbers up to 2^53, the largest file tvx reads.
      {{"decode", "agent", file, "9007199254740993"},
       2,
       "tvx decode: \"9007199254740993\" lies beyond any file (positions go up to 2^53, "
       "9007199254740992)" +
           usage},
      {{"decode", "agent", file, "1e20"}, 2, "tvx decode: \"1e20\" is not a start position", true},
      {{"decode", "agent", file, "--file-offset", "18446744073709551614"},
       2,
       "tvx decode: --file-offset takes an offset: \"18446744073709551614\" lies beyond any file "
       "(offsets go up to 2^53 - 1)" +
           usage},
      {{"decode", "agent", file, "1@Y"}, 2, "tvx decode: \"1@Y\" is not a start position", true},
      {{"decode", "agent", file, "1", "--file-offset", "0"},
       2,
       "tvx decode: give POSITION or --file-offset, not both" + usage},
      {{"decode", "agent", file, "--file-offset=0x1G"},
       2,
       "tvx decode: --file-offset takes an offset: \"0x1G\" is not a file offset (0-based, "
       "decimal or 0x hexadecimal)" +
           usage},
      {{"decode", "agent", file, "1", "--bold"}, 2, "tvx decode: unknown option --bold" + usage},
      {{"decode", "agent", file, "1", "--ofsets"},
       2,
       "tvx decode: unknown option --ofsets; did you mean --offsets?" + usage},
      {{"decode", "agent", file, "1", "--offsets=yes"},
       2,
       "tvx decode: --offsets takes no value" + usage},
      {{"decode", "agent", file, "1", "--picture"},
       2,
       "tvx decode: --picture needs a value (PATH)" + usage},
      {{"decode", "agent", file, "1", "--picture", "-", "--block"},
       2,
       "tvx decode: --picture - writes only the picture to standard output: it goes with neither "
       "--block nor --listing" +
           usage},
      {{"decode", "agent", file, "1", "--block", "--listing"},
       2,
       "tvx decode: give --block or --listing, not both (without either, both are written)" +
           usage},
      {{"decode", "agent", file, "1", "--json", "--block"},
       2,
       "tvx decode: --json goes with neither --block, --listing nor --picture -" + usage},
      {{"decode", "agent", file, "1", "--color=sometimes"},
       2,
       "tvx decode: --color takes auto, always or never, not \"sometimes\"" + usage},
      // Options every command takes, before the command too; flags bundled.
      {{"-q", "decode", "agent", file, "1"}, 0, ""},
      {{"--color=never", "decode", "agent", file, "1"}, 0, ""},
      {{"--color", "never", "-q", "decode", "agent", file, "1"}, 0, ""},
      {{"scan", "-qj2", file}, 0, ""},
      {{"scan", "-j", "dash.exe"},
       2,
       "tvx scan: -j takes a number of jobs from 1 to 256, not \"dash.exe\"\ntry 'tvx scan "
       "--help'\n"},
      {{"scan", file, "--offsets"},
       2,
       "tvx scan: --offsets goes with --decode or --out (the listings)\ntry 'tvx scan --help'\n"},
      // The report names each record whose decode ended early, and warns of a rounded stream.
      {{"report", "-q", "-o", dir / "r.html", "--stream", "Agent:1:" + cut},
       3,
       "tvx report: " + cut +
           ": the stream at position 1 (0x0): the decode ended early: the file ends before the "
           "stream's end code: the next code byte would lie at position 22 (0x15), past its "
           "end\n"},
      {{"report", "-q", "-o", dir / "r.html", "--stream", "Agent:1.5:" + file},
       3,
       "tvx report: warning: --stream Agent:1.5:" + file +
           ": position rounded to 2, as the plug-ins round it (half to even)\n",
       true},
      // A report of lone streams (the samples, a raw stream) says how to show them.
      {{"report", TVX_SAMPLES_DIR, "-o", dir / "r.html"},
       0,
       "tvx report: 6 programs hold no record: a control is found by the record a compiled form "
       "keeps before its stream; a stream without its record is shown with --stream "
       "CONTROL:POSITION:FILE\n",
       true},
      {{"report", file, "-o", dir / "r.html"}, 0, "tvx report: no record found: a control", true},
      {{"report", file, "-0", "x.html"},
       2,
       "tvx report: unknown option -0; did you mean -o?\ntry 'tvx report --help'\n"},
      {{"--version", "garbage"},
       2,
       "tvx: --version takes no arguments, not \"garbage\"\ntry 'tvx --help'\n"},
      // Did you mean: swapped letters, case, controls.
      {{"scna"}, 2, "tvx: unknown command \"scna\"; did you mean 'scan'?\ntry 'tvx --help'\n"},
      {{"hlep"}, 2, "did you mean 'help'?", true},
      {{"DECODE"}, 2, "did you mean 'decode'?", true},
      {{"help", "decod"}, 2, "tvx help: no command \"decod\"; did you mean 'decode'?", true},
      {{"scan", file, "--nmae", "x"}, 2, "unknown option --nmae; did you mean --name?", true},
      {{"scan", file, "--jsno"}, 2, "unknown option --jsno; did you mean --json?", true},
      {{"scan", file, "--quite"}, 2, "unknown option --quite; did you mean --quiet?", true},
      {{"scan", file, "--JSON"}, 2, "unknown option --JSON; did you mean --json?", true},
      {{"decode", "mscom", file, "1"},
       2,
       "tvx decode: unknown control \"mscom\"; did you mean 'MSComm'?\n",
       true},
      {{"decode", "calender", file, "1"}, 2, "did you mean 'Calendar'?", true},
      {{"decode", "SERLINK.SerialLink.tvx", file, "1"},
       2,
       "did you mean 'SERLINK.SerialLink'?",
       true},
      {{"scan", file, "--class", "X=mscom"},
       2,
       "tvx scan: --class X=mscom: no control \"mscom\"; did you mean 'MSComm'?",
       true},
      {{"explain", "agent", file, "1", "--limit=x"},
       2,
       "tvx explain: --limit takes a whole number",
       true},
      {{"host", agent, file},
       2,
       "tvx host: the stream's POSITION (or --file-offset OFFSET) is missing",
       true},
      {{"host", agent, hashed, "1"}, 2, "tvx host: a request cannot carry the path", true},
      {{"host", agent, "-", "1"},
       2,
       "tvx host: a plug-in reads files only: FILE cannot be - (standard input)\ntry 'tvx host "
       "--help'\n"},
      {{"host", agent, file, "1", "--timeout", "0"},
       2,
       "tvx host: --timeout takes a number of seconds above 0",
       true},
      {{"host", "NoSuchPlugin", file, "1"},
       2,
       "tvx host: no plug-in program \"NoSuchPlugin\"",
       true},
      {{"host", "tvx", file, "1"}, 2, "tvx host: no plug-in program \"tvx\"", true},
      {{"host", "/bin/false", file, "1"},
       1,
       "tvx host: the plug-in did not answer ^DONE\\xFF: it ended (exit status 1)\n"},
      // The time said is the time waited.
      {{"host", silent, file, "1", "--timeout=0.3"},
       1,
       "tvx host: the plug-in did not answer ^DONE\\xFF in 0.3 s (--timeout 0.3); it was "
       "stopped\n"},
      {{"host", blocked, file, "1"},
       1,
       "tvx host: the plug-in answered but did not write TEVOLIBFILE.TMP in " + home.path() +
           ": it writes its files in its own folder, which must be writable\n"},
      // The same statuses as every command: a file that cannot be read is 1.
      {{"host", agent, missing, "1", "y"},
       1,
       "tvx host: cannot read \"" + missing + "\": No such file or directory\n"},
      {{"host", unexecutable, file, "1"},
       1,
       "tvx host: cannot start \"" + unexecutable +
           "\": it is not executable (Permission "
           "denied)\n"},
      {{"host", dir / "nothing.tvx", file, "1"},
       1,
       "tvx host: cannot start \"" + (dir / "nothing.tvx") + "\": No such file or directory\n"},
      {{"host", agent, cut, "1"},
       3,
       "tvx host: the decode ended early: the file ends before the stream's end code: the next "
       "code byte would lie at position 22 (0x15), past its end\n"},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& a : c.args)
      joined += a + " ";
    SCOPED_TRACE(joined);
    const Outcome outcome = Tvx(c.args);
    EXPECT_EQ(outcome.status, c.status);
    if (c.part) {
      EXPECT_NE(outcome.err.find(c.err), std::string::npos) << outcome.err;
    } else {
      EXPECT_EQ(outcome.err, c.err);
    }
    // An error leaves standard output empty; host shows what the plug-in did, which is its job.
    if (c.status == 2 || (c.status == 1 && c.args[0] != "host")) {
      EXPECT_EQ(outcome.out, "");
    }
  }
  EXPECT_FALSE(fs::exists(missing));
}

// A full standard output is an error with the system's reason, whatever the command.
TEST(TvxArguments, WriteErrorsAreReported) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string sample = std::string(TVX_SAMPLES_DIR) + "/agent.exe";
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                               {"decode", "agent", sample, "1025"},
                                               {"explain", "agent", sample, "1025", "--json"},
                                               {"scan", sample, "--json"}}) {
    SCOPED_TRACE(args[0]);
    const Outcome outcome = RunProgram(TVX_TOOL, args, {}, "/dev/full");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("cannot write to standard output: No space left on device\n"),
              std::string::npos)
        << outcome.err;
  }
  // A scan that the full output ends blames the output alone, not the files it then leaves.
  TempDir dir;
  const std::string example = hexstream::ReadFile(std::string(TVX_SAMPLES_DIR) + "/example.exe");
  for (int i = 0; i < 16; ++i) {
    std::string many;
    for (int j = 0; j < 20; ++j)
      many += example;
    hexstream::WriteFile(dir / ("p" + std::to_string(i) + ".exe"), many);
  }
  for (const char* jobs : {"-j1", "-j2"}) {
    const Outcome outcome = RunProgram(TVX_TOOL, {"scan", dir.path(), jobs}, {}, "/dev/full");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "tvx scan: cannot write to standard output: No space left on device\n");
  }
}

// The program file from standard input decodes as from the file itself.
TEST(TvxDecode, ReadsStandardInput) {
  const std::string sample = std::string(TVX_SAMPLES_DIR) + "/agent.exe";
  const Outcome fromFile = Tvx({"decode", "agent", sample, "1025"});
  const Outcome fromInput = RunProgram(TVX_TOOL, {"decode", "agent", "-", "1025"}, sample);
  EXPECT_EQ(fromInput.status, 0) << fromInput.err;
  EXPECT_EQ(fromInput.out, fromFile.out);
  // Standard input that cannot be read is an I/O error like any file: nothing made up.
  TempDir dir;
  for (const char* command : {"decode", "explain"}) {
    const Outcome unreadable = RunProgram(TVX_TOOL, {command, "agent", "-", "1025"}, dir.path());
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_EQ(unreadable.out, "");
    EXPECT_EQ(unreadable.err,
              "tvx " + std::string(command) + ": cannot read standard input: Is a directory\n");
  }
  // Closed, the same: no file tvx opens (the copy of standard input) is read in its place.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"decode", "mscomm", "-", "5999"},
        {"scan", "-", "--decode"},
        {"scan", "-"}}) {
    std::vector<std::string> shell = {"-c", "exec \"$0\" \"$@\" <&-", TVX_TOOL};
    shell.insert(shell.end(), args.begin(), args.end());
    const Outcome closed = RunProgram("/bin/sh", shell);
    EXPECT_EQ(closed.status, 1) << args[0];
    EXPECT_EQ(closed.out, "");
    EXPECT_EQ(closed.err, "tvx " + args[0] + ": cannot read standard input: Bad file descriptor\n");
  }
}

// The JSON document parses, and its block and listing, taken back to bytes (each character's
// number is its byte), are the plug-in's files line for line; each property, its value and the
// block line it stands on.
TEST(TvxDecode, JsonCarriesTheFilesLineForLine) {
  TempDir dir;
  const std::string file = dir / "stream.exe";
  // A Tag with a quote, an e acute (0xE9) and ESC; extent 1 x 2.
  hexstream::WriteFile(file, hexstream::Parse("0B w:4 u\"a\\\"\" E9 00 1B 00 2D z:12 l:1 l:2 FF"));
  const std::string script =
      "import json,sys\n"
      "d=json.load(sys.stdin)\n"
      "out=lambda lines: ''.join(l+'\\r\\n' for l in lines).encode('latin-1')\n"
      "sys.stdout.buffer.write(out(d['listing'])+b'|'+out(d['block'])+b'|'+"
      "(d['stop']['code']+' '+str(d['stop']['byte'])+' '+str(d['picture'])).encode())\n"
      "for k,v in d['properties'].items(): "
      "print('|'+k, json.dumps(v), d['property_details'][k]['line'], end='')\n";
  const Outcome json = Tvx({"decode", "Agent", file, "1", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const std::string jsonFile = dir / "decode.json";
  hexstream::WriteFile(jsonFile, json.out);
  const Outcome parsed = RunProgram("/usr/bin/python3", {"-c", script}, jsonFile);
  ASSERT_EQ(parsed.status, 0) << parsed.err;
  Plugin plugin(ProgramFor("Agent"));
  const Plugin::Files files = plugin.Request(file, "1", 'N');
  EXPECT_EQ(parsed.out, files.listing + "|" + files.block +
                            "|end_code 255 None|Tag \"a\\\"\\u00e9\\u001b\" 1|_cx 1 2|_cy 2 3");
}

// On a terminal, bytes that are not printable are escaped and colours mark explain's table;
// NO_COLOR turns the colours off. The same commands piped give the files' bytes.
TEST(TvxDecode, TerminalOutputIsEscaped) {
  TempDir dir;
  const std::string file = dir / "stream.exe";
  hexstream::WriteFile(file, hexstream::Parse("0B w:2 u\"\\x1B\" 41 00 2D z:12 l:1 l:2 FF"));
  const Outcome tty = RunOnTerminal({"decode", "Agent", file, "1"}, {});
  EXPECT_EQ(tty.status, 0) << tty.err;
  EXPECT_NE(tty.out.find("Tag: \\x1BA\r\n"), std::string::npos) << tty.out;  // the terminal's CR LF
  EXPECT_EQ(tty.out.find('\x1B'), std::string::npos);
  EXPECT_NE(Tvx({"decode", "Agent", file, "1"})
                .out.find("Tag: \x1B"
                          "A\r\n"),
            std::string::npos);
  const Outcome coloured = RunOnTerminal({"explain", "Agent", file, "1"}, {});
  EXPECT_NE(coloured.out.find("\x1B[32m=> Tag: \\x1BA\x1B[0m"), std::string::npos) << coloured.out;
  const Outcome plain = RunOnTerminal({"explain", "Agent", file, "1"}, {"NO_COLOR=1"});
  EXPECT_EQ(plain.out.find('\x1B'), std::string::npos) << plain.out;
  EXPECT_EQ(RunOnTerminal({"explain", "Agent", file, "1", "--color=never"}, {}).out, plain.out);
  std::string onTerminal = coloured.out;  // the terminal turns each LF into CR LF
  std::erase(onTerminal, '\r');
  EXPECT_EQ(Tvx({"explain", "Agent", file, "1", "--color=always"}).out, onTerminal);
  // A picture's bytes never go to a terminal.
  const Outcome picture = RunOnTerminal({"decode", "Agent", file, "1", "--picture", "-"}, {});
  EXPECT_EQ(picture.status, 2);
  EXPECT_EQ(picture.out, "");
}

// A plug-in started by hand on a terminal says what it is on standard error, and nothing else.
TEST(TvxHost, APluginOnATerminalGivesOneHint) {
  const Outcome outcome = RunOnTerminal({}, {}, PluginPath(ProgramFor("Agent")), true);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, ProgramFor("Agent") +
                             ": a plug-in of the host; it reads requests on standard input (try "
                             "'tvx host' to send one)\n");
}

// The time asked for is kept, whatever the plug-in does: silent, its channel closed while it
// runs on, or never ending after the end message; it is ended then, with what it started, and
// the message says what happened and after how long.
TEST(TvxHost, TimeoutsAreKeptAndThePluginEnded) {
  TempDir dir;
  const std::string file = dir / "stream.exe";
  hexstream::WriteFile(file, hexstream::Parse("2D z:20 FF"));
  struct Case {
    std::string name;
    std::string script;  // the plug-in; it writes the pid of a child it starts to child.pid
    std::string err;
    double most;  // seconds the run may take
  };
  const std::string child = "sleep 30 >/dev/null & echo $! >" + (dir / "child.pid") + "\n";
  const Case cases[] = {
      {"silent", child + "exec sleep 30\n",
       "tvx host: the plug-in did not answer ^DONE\\xFF in 0.3 s (--timeout 0.3); it was "
       "stopped\n",
       0.3},
      {"closed", child + "exec >&-\nexec sleep 30\n",
       "tvx host: the plug-in closed its channel without answering ^DONE\\xFF and did not end in "
       "0.3 s (--timeout 0.3); it was stopped\n",
       0.3},
      {"endless", child + "dd bs=1 count=1 >/dev/null 2>&1\nprintf '^DONE\\377'\nexec sleep 30\n",
       "tvx host: the plug-in did not end within 0.3 s of ^END\\xFF (--timeout 0.3); it was "
       "stopped\n",
       0.6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string plugin = dir / (c.name + ".tvx");
    hexstream::WriteFile(plugin, "#!/bin/sh\n" + c.script);
    fs::permissions(plugin, fs::perms::owner_all);
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = Tvx({"host", plugin, file, "1", "--timeout", "0.3"});
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, c.err);
    EXPECT_LT(took, c.most + 0.2 + 0.15);  // within 0.2 s, and tvx's own start
    // The plug-in's child went with it (gone, or a zombie its new parent has not yet reaped).
    const std::string pid = hexstream::ReadFile(dir / "child.pid");
    const std::string stat = "/proc/" + pid.substr(0, pid.find('\n')) + "/stat";
    const auto runs = [&] {
      const std::string text = ReadOrMissing(stat);
      const std::size_t paren = text.rfind(')');
      return paren != std::string::npos && text.compare(paren + 2, 1, "Z") != 0;
    };
    for (int i = 0; i < 50 && runs(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(runs()) << "the plug-in's child " << pid << " still runs";
  }
}

// Runs of tvx host at once with one plug-in wait for each other: each sees its own files.
TEST(TvxHost, ConcurrentRunsEachSeeTheirOwnFiles) {
  TempDir home;
  const std::string plugin = CopyPlugin(ProgramFor("Agent"), home.path());
  TempDir dir;
  constexpr int kRuns = 8;
  std::vector<std::string> files;
  for (int i = 0; i < kRuns; ++i) {
    files.push_back(dir / ("stream" + std::to_string(i) + ".exe"));
    hexstream::WriteFile(files.back(), hexstream::Parse("0B w:5 u\"Tag_" + std::to_string(i) +
                                                        "\" 2D z:12 l:1 l:2 FF"));
  }
  for (int round = 0; round < 3; ++round) {
    std::vector<Outcome> outcomes(kRuns);
    std::vector<std::thread> runs;
    for (int i = 0; i < kRuns; ++i) {
      runs.emplace_back([&, i] { outcomes[i] = Tvx({"host", plugin, files[i], "1"}); });
    }
    for (std::thread& run : runs)
      run.join();
    for (int i = 0; i < kRuns; ++i) {
      EXPECT_EQ(outcomes[i].status, 0) << outcomes[i].err;
      EXPECT_NE(outcomes[i].out.find("\r\nTag: Tag_" + std::to_string(i) + "\r\n"),
                std::string::npos)
          << outcomes[i].out;
      EXPECT_NE(outcomes[i].out.find("Tag               = \"Tag_" + std::to_string(i) + "\""),
                std::string::npos)
          << outcomes[i].out;
    }
  }
}

// The agent sample's block lines and the bytes each came from, worked out from its annotated hex
// (Index at 1026, Tag's text at 1031, _cx and _cy at 1056 and 1060, Left and Top at 1065 and
// 1070); the JSON gives the same, and --limit cuts the table and the values.
TEST(TvxExplain, LinksEveryBlockLineToItsBytes) {
  const std::string sample = std::string(TVX_SAMPLES_DIR) + "/agent.exe";
  const Outcome text = Tvx({"explain", "agent", sample, "1025"});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("-- the property block, each line with the positions it came from --\n"
                          "LibraryVersion3.0  (not from the stream)\n"
                          "Index             = 0  <- 1026\n"
                          "Left              = 120  <- 1065\n"
                          "Tag               = \"Merlin\"  <- 1031\n"
                          "Top               = 240  <- 1070\n"
                          "_cx               = 847  <- 1056\n"
                          "_cy               = 847  <- 1060\n"),
            std::string::npos)
      << text.out;
  // The plug-in host sample's DragIcon and DragMode lines tell only that the property is there:
  // they come from its code byte and its value's reads (section A from 1537: code 3 and four
  // words, code 15 and a word, code 11, a word and 12 UTF-16 units; DragIcon's code 10 at 1576,
  // its long at 1577, header at 1581 and 16 image bytes at 1589; DragMode's code 9 at 1605 and
  // its byte at 1606).
  const Outcome host =
      Tvx({"explain", "ActiveXPlugin", std::string(TVX_SAMPLES_DIR) + "/pluginhost.exe", "1537"});
  EXPECT_NE(host.out.find("DragIcon           = TEVOGRAPHICFILE1.TMP  <- 1576 1577 1581 1589\n"
                          "DragMode           = 1  'Automatic  <- 1605 1606\n"),
            std::string::npos)
      << host.out;
  // The JSON: every value, and the first three; --limit stops the decode there.
  const std::string script =
      "import json,sys\n"
      "d=json.load(sys.stdin)\n"
      "print([(b['line'], b['source'], b['from']) for b in d['block']][0:3])\n"
      "print([(v['position'], v['offset'], v['size'], v['read'], v['value'], v['code'], "
      "[d['block'][l]['line'] for l in v['block_lines']]) for v in d['values'][0:3]], d['cut'], "
      "d['stop'] and d['stop']['code'], len(d['values']), len(d['listing']))\n";
  TempDir dir;
  const std::pair<std::vector<std::string>, std::string> runs[] = {
      {{},
       "[('LibraryVersion3.0', 'start_value', []), ('Index             = 0', 'reads', "
       "[1026]), ('Left              = 120', 'reads', [1065])]\n"
       "[(1025, 1024, 1, 'byte', 1, {'code': 1, 'section': 'section_a', 'outcome': "
       "'property'}, []), (1026, 1025, 2, 'word', 0, None, ['Index             = 0']), "
       "(1028, 1027, 1, 'byte', 11, {'code': 11, 'section': 'section_a', 'outcome': "
       "'property'}, [])] False end_code 19 3\n"},
      {{"--limit=3"},
       "[]\n[(1025, 1024, 1, 'byte', 1, {'code': 1, 'section': 'section_a', 'outcome': "
       "'property'}, []), (1026, 1025, 2, 'word', 0, None, []), "
       "(1028, 1027, 1, 'byte', 11, {'code': 11, 'section': 'section_a', 'outcome': "
       "'property'}, [])] True None 3 0\n"},
  };
  for (const auto& [extra, expected] : runs) {
    std::vector<std::string> args = {"explain", "agent", sample, "1025", "--json"};
    args.insert(args.end(), extra.begin(), extra.end());
    const Outcome json = Tvx(args);
    ASSERT_EQ(json.status, 0) << json.err;
    hexstream::WriteFile(dir / "explain.json", json.out);
    const Outcome parsed = RunProgram("/usr/bin/python3", {"-c", script}, dir / "explain.json");
    EXPECT_EQ(parsed.out, expected) << parsed.err;
  }
  const Outcome limited = Tvx({"explain", "agent", sample, "1025", "--limit", "4"});
  EXPECT_EQ(limited.status, 0);
  EXPECT_NE(limited.out.find("      1029 |      0x404 | 06 00                   | word 6\n"
                             "== cut after 4 rows (--limit): the rest of the stream was not "
                             "decoded ==\n== 6 bytes accounted for, positions 1025 to 1030 "
                             "(0x400 to 0x405) ==\n"),
            std::string::npos)
      << limited.out;
}

// Nothing is written next to the tool or the plug-ins: the picture only where --picture says.
TEST(TvxDecode, WritesThePictureOnlyWhereAsked) {
  TempDir dir;
  const std::string file = dir / "stream.exe";
  // A drag icon of 3 image bytes, then an empty control block and section B.
  hexstream::WriteFile(file, hexstream::Parse("0A l:11 z:8 AA BB CC 2D z:24 FF"));
  const std::string picture = dir / "icon.bin";
  // The plug-ins beside the tool may have left their files there: they must stay as they are.
  const fs::path beside = fs::path(TVX_TOOL).parent_path();
  const auto snapshot = [&beside] {
    std::string state;
    for (const char* name : {"TEVOLIBFILE.TMP", "TEVOLIBFILE2.TMP", "TEVOGRAPHICFILE1.TMP"}) {
      state += fs::exists(beside / name) ? hexstream::ReadFile((beside / name).string()) : "-";
      state += '\n';
    }
    return state;
  };
  const std::string before = snapshot();
  const Outcome without = Tvx({"decode", "ActiveXPlugin", file, "1"});
  EXPECT_EQ(without.status, 0);
  EXPECT_EQ(without.err,
            "tvx decode: the stream holds a picture of 3 bytes; --picture PATH writes it\n");
  EXPECT_FALSE(fs::exists(picture));
  const Outcome with = Tvx({"decode", "activexplugin", file, "1", "--picture", picture});
  EXPECT_EQ(with.status, 0);
  EXPECT_EQ(with.out, without.out);
  EXPECT_EQ(hexstream::ReadFile(picture), "\xAA\xBB\xCC");
  // "-" is standard output: the picture alone; never a file named "-".
  const Outcome piped = Tvx({"decode", "ActiveXPlugin", file, "1", "--picture", "-"});
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.out, "\xAA\xBB\xCC");
  EXPECT_FALSE(fs::exists("-"));
  // --block and --listing: that part alone.
  const std::size_t blockStart = without.out.find("LibraryVersion3.0");
  EXPECT_EQ(Tvx({"decode", "ActiveXPlugin", file, "1", "--block"}).out,
            without.out.substr(blockStart));
  EXPECT_EQ(Tvx({"decode", "ActiveXPlugin", file, "1", "--listing"}).out,
            without.out.substr(0, blockStart));
  EXPECT_EQ(snapshot(), before);
}

}  // namespace
}  // namespace tvx::testing

namespace tvx::testing {
namespace {

// A compiled program's control record: name, class name, then the property stream.
std::string Record(const std::string& name, const std::string& className, const std::string& stream,
                   int lengthError = 0) {
  const auto word = [](std::size_t n) {
    return std::string{static_cast<char>(n & 0xFF), static_cast<char>(n >> 8)};
  };
  return word(name.size()) + name + std::string("\x00\xFF", 2) +
         word(className.size() + static_cast<std::size_t>(lengthError)) + className +
         std::string(1, '\0') + stream;
}

// The first bytes of a Windows program: an MZ header whose PE header follows it.
std::string PeHead() {
  std::string head = "MZ" + std::string(58, '\0') + std::string("\x40\0\0\0", 4);
  return head + std::string("PE\0\0", 4);
}

// A file tvx writes is written whole or not at all: past the limit of a file's size (as on a
// full disk) the write fails with the system's reason, the file that had the name stays as it
// was, and no part of the new one remains.
TEST(TvxArguments, FilesAreWrittenWholeOrNotAtAll) {
  TempDir dir;
  // A program whose plug-in host control holds a 4000-byte picture.
  const std::string program = dir / "program.exe";
  hexstream::WriteFile(program,
                       PeHead() + Record("Plugin1", "Tevo.Host",
                                         hexstream::Parse("0A l:4008 z:8 z:4000 2D z:24 FF")));
  const std::string page = dir / "keep.html";
  const std::string picture = dir / "keep.ico";
  const std::string out = dir / "out";
  struct Case {
    std::vector<std::string> args;
    std::string kept;  // a file that must stay as it was ("" for none)
    std::string err;
  };
  const Case cases[] = {
      {{"report", program, "--class=Tevo.Host=ActiveXPlugin", "-o", page},
       page,
       "tvx report: cannot write \"" + page + "\": File too large\n"},
      {{"decode", "ActiveXPlugin", program, "--file-offset", std::to_string(PeHead().size() + 23),
        "--picture", picture, "--block"},
       picture,
       "tvx decode: cannot write \"" + picture + "\": File too large\n"},
      {{"scan", program, "--class=Tevo.Host=ActiveXPlugin", "--out", out},
       "",
       "tvx scan: cannot write \"" + out + "/Plugin1-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    if (!c.kept.empty()) hexstream::WriteFile(c.kept, "as it was");
    std::vector<std::string> args = {"-c", "ulimit -f 1 && exec \"$0\" \"$@\"", TVX_TOOL};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome outcome = RunProgram("/bin/sh", args);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err.rfind(c.err, 0), 0u) << outcome.err;
    if (!c.kept.empty()) {
      EXPECT_EQ(hexstream::ReadFile(c.kept), "as it was");
    }
    // Nothing half-written: only the files that were whole, and no temporary one.
    for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
      const std::string name = entry.path().filename().string();
      EXPECT_EQ(name.find(".tvx-"), std::string::npos) << name;
      if (entry.is_regular_file() && entry.path().parent_path() == out) {
        EXPECT_GT(entry.file_size(), 0u) << name;
        EXPECT_EQ(entry.path().extension(), ".txt") << name;  // the picture was not written
      }
    }
  }
}

// A slip that looks like another way of saying what was meant gets a hint naming it.
TEST(TvxArguments, HintsNameWhatWasMeant) {
  TempDir dir;
  // A record whose stream starts at offset 0x9C (position 157): the head (68 bytes), 60 zeros,
  // then 28 bytes of the record before its stream.
  const std::string program =
      PeHead() + std::string(60, '\0') + Record("Comm1", "MSCommLib.MSComm", "\xFF");
  hexstream::WriteFile(dir / "program.exe", program);
  hexstream::WriteFile(dir / "-dash.exe", program);
  const std::string found = "157         0x9C        Comm1             MSCommLib.MSComm";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;  // a part of standard error
    std::string out;  // a part of standard output
  };
  const Case cases[] = {
      {{"stauts"},
       2,
       "tvx: unknown command \"stauts\" (the commands: decode, explain, scan, outline, host, "
       "properties, report, help)\ntry 'tvx --help'\n",
       ""},
      {{"scan", "-dash.exe"},
       2,
       "tvx scan: unknown option -d (to name the file \"-dash.exe\", put -- before it: -- "
       "-dash.exe)\n",
       ""},
      {{"scan", "--", "-dash.exe"}, 0, "1 record", found},
      {{"scan", "program.exe", "--position", "0x9C"},
       0,
       "tvx scan: no record starts at position 0x9C; one starts at offset 0x9C (positions count "
       "from 1, offsets from 0): --file-offset 0x9C picks it\n",
       ""},
      {{"scan", "program.exe", "--file-offset", "0x9C"}, 0, "1 record", found},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    std::vector<std::string> shell = {"-c", "cd \"$0\" && exec \"$@\"", dir.path(), TVX_TOOL};
    shell.insert(shell.end(), c.args.begin(), c.args.end());
    const Outcome outcome = RunProgram("/bin/sh", shell);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_NE(outcome.err.find(c.err), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.out.find(c.out), std::string::npos) << outcome.out;
    if (c.out.empty()) {
      EXPECT_EQ(outcome.out, "");
    }
  }
}

// tvx-hexstream's errors give the system's reason, and the file it is about.
TEST(TvxHexstream, ErrorsSayTheSystemsReason) {
  TempDir dir;
  hexstream::WriteFile(dir / "bad.hex", "2D\nzz\n");
  hexstream::WriteFile(dir / "good.hex", "2D FF");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{dir / "missing.hex", dir / "out"},
       "cannot read \"" + (dir / "missing.hex") + "\": No such file or directory"},
      {{dir.path(), dir / "out"}, "cannot read \"" + dir.path() + "\": Is a directory"},
      {{dir / "good.hex", dir / "no/out"},
       "cannot write \"" + (dir / "no/out") + "\": No such file or directory"},
      {{dir / "good.hex", "/dev/full"}, "cannot write \"/dev/full\": No space left on device"},
      {{dir / "bad.hex", dir / "out"}, dir / "bad.hex" + ": line 2: unknown token 'zz'"},
  };
  for (const auto& [args, err] : cases) {
    const Outcome outcome = RunProgram(TVX_HEXSTREAM, args);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "tvx-hexstream: " + err + "\n");
  }
}

struct Expected {
  double position;
  std::string name;
  std::string className;
  std::string control;
};

// The lines tvx scan prints, split into their fields.
std::vector<std::vector<std::string>> Fields(const std::string& out) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    lines.emplace_back(std::istream_iterator<std::string>(words),
                       std::istream_iterator<std::string>());
  }
  return lines;
}

// Records of every class (the plug-in host's by --class), a control array, records back to
// back, and what only looks like a record: a 00 FF pair after a word that is not the name's
// length, one inside a stream, a class name whose length is one too long, an unknown class (told
// in the summary), and a record cut by the end of the file.
TEST(TvxScan, FindsEveryRecordOfAKnownClass) {
  const std::string agent = hexstream::Parse("2D z:12 l:1 l:2 FF");
  std::string file = PeHead() + "header \x00\xFF text";  // a pair after no name and length
  std::vector<Expected> expected;
  const auto add = [&](const std::string& name, const std::string& className,
                       const std::string& control, const std::string& stream) {
    file += Record(name, className, stream);
    expected.push_back({static_cast<double>(file.size() - stream.size() + 1), name, className,
                        ProgramFor(control)});
  };
  add("Calendar1", "MSACAL.Calendar", "Calendar", "\x2D");
  add("Adodc1", "msadodclib.adodc", "Adodc", "\x2D");  // case does not matter
  file +=
      "\x05\x00"
      "ab" +
      std::string("\x00\xFF", 2) +
      "\x02\x00"
      "cd" +
      std::string(1, '\0');
  add("CommonDialog1", "MSComDlg.CommonDialog", "CommonDialog", "\x2D");
  add("MSComm1", "MSCommLib.MSComm", "MSComm", agent + "\x00\xFF\x01\x00Z" + std::string(1, '\0'));
  add("Agent1", "AgentObjectsCtl.Agent", "Agent", agent);  // a control array of two, back to
  add("Agent1", "AgentObjectsCtl.Agent", "Agent", agent);  // back
  add("Host_2", "Tevo.Host", "ActiveXPlugin", agent);
  file += Record("Wrong", "AgentObjectsCtl.Agent", agent, 1);
  file += Record("Grid1", "MSFlexGridLib.MSFlexGrid", agent);
  file += Record("Late", "AgentObjectsCtl.Agent", "").substr(0, 20);
  TempDir dir;
  const std::string path = dir / "program.exe";
  hexstream::WriteFile(path, file);

  const Outcome outcome = Tvx({"scan", path, "--class", "Tevo.Host=ActiveXPlugin"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  std::vector<std::vector<std::string>> want;
  for (const Expected& e : expected) {
    char offset[32];
    std::snprintf(offset, sizeof offset, "0x%llX", static_cast<unsigned long long>(e.position - 1));
    want.push_back({std::to_string(static_cast<long long>(e.position)), offset, e.name, e.className,
                    e.control, "-"});
  }
  EXPECT_EQ(Fields(outcome.out), want) << outcome.out;
  EXPECT_EQ(outcome.err.rfind("tvx scan: " + path + ": 7 records: ", 0), 0u) << outcome.err;
  for (const auto& [count, control] : {std::pair{1, "ActiveXPlugin"},
                                       {1, "Calendar"},
                                       {1, "Adodc"},
                                       {1, "CommonDialog"},
                                       {1, "MSComm"},
                                       {2, "Agent"}}) {
    EXPECT_NE(outcome.err.find(std::to_string(count) + " " + ProgramFor(control)),
              std::string::npos)
        << outcome.err;
  }
  EXPECT_TRUE(outcome.err.ends_with("; 1 of other classes, not listed\n")) << outcome.err;
  // Without --class the plug-in host's record is of another class; -q drops the summary.
  const Outcome plain = Tvx({"scan", path, "-q"});
  EXPECT_EQ(Fields(plain.out).size(), expected.size() - 1);
  EXPECT_EQ(plain.err, "");
  // With the blocks, piped, every line ends with CR LF, the records' lines as the blocks' own.
  const Outcome decoded = Tvx({"scan", path, "--decode"});
  EXPECT_EQ(decoded.out.find("== " + std::to_string(static_cast<long long>(expected[0].position))),
            0u);
  for (std::size_t at = decoded.out.find('\n'); at != std::string::npos;
       at = decoded.out.find('\n', at + 1)) {
    ASSERT_EQ(decoded.out[at - 1], '\r') << decoded.out.substr(0, at);
  }
}

// Each record's block decoded by tvx scan is the plug-in's own for a request at its position,
// and --out writes the files; a record whose stream is cut makes the status 3.
TEST(TvxScan, DecodesEachRecordAsItsPlugInDoes) {
  std::string file(100, '\x55');
  std::vector<std::pair<double, std::string>> records;  // position, deliverable
  for (const Sample& s : Samples()) {
    const std::string bytes = hexstream::ReadFile(s.path);
    const std::string stream = bytes.substr(static_cast<std::size_t>(std::stod(s.start) - 1));
    file += Record("Control" + std::to_string(records.size()),
                   "Class" + std::to_string(records.size()), stream);
    records.emplace_back(static_cast<double>(file.size() - stream.size() + 1), s.deliverable);
  }
  TempDir dir;
  const std::string path = dir / "program.exe";
  hexstream::WriteFile(path, file + Record("Cut", "Cut.Class", "\x0B\x05\x00"));
  std::vector<std::string> args = {"scan", path, "--decode", "--json"};
  for (std::size_t i = 0; i < records.size(); ++i)
    args.push_back("--class=Class" + std::to_string(i) + "=" + records[i].second);
  args.push_back("--class=Cut.Class=Agent");
  const Outcome json = Tvx(args);
  EXPECT_EQ(json.status, 3) << json.err;
  hexstream::WriteFile(dir / "scan.json", json.out);
  const Outcome blocks = RunProgram("/usr/bin/python3",
                                    {"-c",
                                     "import json,sys\n"
                                     "for r in map(json.loads, sys.stdin):\n"
                                     "  if r['kind'] == 'scan_record':\n"
                                     "    sys.stdout.buffer.write(''.join(l+'\\r\\n' for l in "
                                     "r['block']).encode('latin-1')+b'|')\n"},
                                    dir / "scan.json");
  std::string expected;
  for (const auto& [position, deliverable] : records) {
    Plugin plugin(deliverable);
    expected += plugin.Request(path, NumberText(position), 'N').block + "|";
  }
  Plugin agent(ProgramFor("Agent"));
  expected +=
      agent.Request(path, NumberText(static_cast<double>(file.size()) + 15), 'N').block + "|";
  EXPECT_EQ(blocks.out, expected) << blocks.err;

  // --out: each record's files, the picture named by its format; with several inputs, a folder
  // for each (the input's path under DIR).
  args[2] = "--out=" + (dir / "out");
  args.pop_back();
  args.erase(args.begin() + 3);
  EXPECT_EQ(Tvx(args).status, 0);
  const std::string copy = dir / "copy.exe";
  fs::copy_file(path, copy);
  args.insert(args.begin() + 3, copy);
  args[2] = "--out=" + (dir / "several");
  EXPECT_EQ(Tvx(args).status, 0);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const auto& [position, deliverable] = records[i];
    Plugin plugin(deliverable);
    const Plugin::Files files = plugin.Request(path, NumberText(position), 'N');
    const std::string name = "Control" + std::to_string(i) + "-" + NumberText(position);
    for (const std::string& folder :
         {dir / "out", dir / ("several" + path), dir / ("several" + copy)}) {
      SCOPED_TRACE(folder + "/" + name);
      EXPECT_EQ(ReadOrMissing(folder + "/" + name + ".listing.txt"), files.listing);
      EXPECT_EQ(ReadOrMissing(folder + "/" + name + ".block.txt"), files.block);
      // The plug-in host's sample holds an icon (00 00 01 00); no other sample holds a picture.
      const std::string picture = folder + "/" + name + ".ico";
      EXPECT_EQ(ReadOrMissing(picture), deliverable == ProgramFor("ActiveXPlugin")
                                            ? files.picture
                                            : std::string("<missing>"));
    }
  }
}

// A table of records and their properties: CSV quoted and in UTF-8 where it must be, aligned
// columns for people, the records picked by control and by a property their streams hold. The
// program: a head of 68 bytes, then each record's 34 bytes before its stream (offsets 102 and
// 169, after the first stream's 33 bytes).
TEST(TvxScan, TablesOfRecordsAndTheirProperties) {
  TempDir dir;
  const std::string program = dir / "program.exe";
  hexstream::WriteFile(
      program, PeHead() +
                   Record("Agent1", "AgentObjectsCtl.Agent",
                          hexstream::Parse("0B w:4 u\"a,\\\"\xE9\" 2D z:12 l:847 l:2 FF")) +
                   Record("Agent2", "AgentObjectsCtl.Agent", hexstream::Parse("2D z:12 l:1 l:2")));
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{"--fields", "name,Tag,_cx,Left,stop"},  // piped: CSV
       "name,Tag,_cx,Left,stop\r\nAgent1,\"a,\"\"\xC3\xA9\",847,,end_code\r\n"
       "Agent2,,1,,input_ended\r\n"},
      {{"--fields", "name,_cx", "--table"}, "name    _cx\nAgent1  847\nAgent2  1\n"},
      {{"--has", "Tag", "--fields", "name,offset"}, "name,offset\r\nAgent1,102\r\n"},
      {{"--control", "mscomm", "--csv"}, "file,position,offset,name,index,class,control,form\r\n"},
      {{"--control", "Agent", "--name", "agent2", "--fields", "control,class,position,file"},
       "control,class,position,file\r\nPERSONA.Persona,AgentObjectsCtl.Agent,170," + program +
           "\r\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"scan", program, "-q"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome outcome = Tvx(args);
    EXPECT_EQ(outcome.out, c.out) << c.args[0] << " " << c.args[1];
  }
  for (const std::vector<std::string>& wrong : {std::vector<std::string>{"--csv", "--table"},
                                                {"--fields", "name", "--json"},
                                                {"--fields", "Conect"},
                                                {"--fields", "Font"},
                                                {"--has", "Nothing"},
                                                {"--control", "x"}}) {
    std::vector<std::string> args = {"scan", program};
    args.insert(args.end(), wrong.begin(), wrong.end());
    const Outcome outcome = Tvx(args);
    EXPECT_EQ(outcome.status, 2) << wrong[0];
    EXPECT_EQ(outcome.out, "");
  }
  EXPECT_NE(Tvx({"scan", program, "--fields", "Conect"}).err.find("did you mean Connect?"),
            std::string::npos);
}

// The forms of a program and the controls each holds, as tvx outline and tvx scan show them: a
// form whose name is not ASCII, a control array, an image whose size runs past the end of the
// file, records in no form; --form picks forms by name in any case.
TEST(TvxOutline, FormsAndTheirControls) {
  const auto image = [](const std::string& name, char kind, const std::string& body, int lie) {
    const std::string rest = std::string(4, '\0') + '\0' + static_cast<char>(name.size()) + '\0' +
                             name + '\0' + kind + body;
    const auto size = static_cast<std::uint32_t>(static_cast<int>(rest.size()) + lie);
    return std::string{static_cast<char>(size & 0xFF), static_cast<char>(size >> 8), '\0', '\0'} +
           rest;
  };
  const std::string agent =
      std::string("\x2D", 1) + std::string(12, '\0') + "\x4F\x03\0\0\x4F\x03\0\0\xFF";
  const auto element = [&](int index) {
    return Record("Agent1", "AgentObjectsCtl.Agent",
                  "\x01" + std::string{static_cast<char>(index), '\0'} + agent);
  };
  const std::string odd = "frm\xE9";
  const std::string file =
      PeHead() + image(odd, '\x14', element(2) + element(3), 0) +
      Record("Out1", "AgentObjectsCtl.Agent", agent) +
      image("Liar", '\x0D', Record("Lost1", "AgentObjectsCtl.Agent", agent), 1);
  TempDir dir;
  const std::string path = dir / "p.exe";
  hexstream::WriteFile(path, file);
  // Each record's stream's position and offset as the outline shows them; each image's place.
  const auto at = [&](const std::string& name, std::size_t from = 0) {
    const std::size_t p = file.find(name + std::string("\0\xFF", 2), from) + name.size() + 2 + 2 +
                          std::strlen("AgentObjectsCtl.Agent") + 1 + 1;
    char place[48];
    std::snprintf(place, sizeof place, "%-10zu  0x%zX", p, p - 1);
    return std::string(place);
  };
  const std::size_t head = PeHead().size();
  const std::size_t oddSize = file.find(std::string("\x04\0Out1", 6)) - head;
  const std::size_t liar = file.find("Liar") - 11;
  char liarPlace[64];
  std::snprintf(liarPlace, sizeof liarPlace, "at 0x%zX, %zu bytes", liar, file.size() - liar + 1);
  const std::string outline = Tvx({"outline", path, "-q"}).out;
  EXPECT_EQ(outline, path + "\n  MDI form frm\\xE9 at 0x44, " + std::to_string(oddSize) +
                         " bytes\n    Agent1(2)           PERSONA.Persona     " + at("Agent1") +
                         "\n    Agent1(3)           PERSONA.Persona     " +
                         at("Agent1", file.find("Agent1") + 1) +
                         "\n  in no form\n    Out1                PERSONA.Persona     " +
                         at("Out1") + "\n  form Liar " + liarPlace +
                         ": no form, its size runs past the end of the file\n  in no form\n"
                         "    Lost1               PERSONA.Persona     " +
                         at("Lost1") + "\n");
  // scan: the form column, Name(Index); --form in any case; the JSON's index and form.
  const std::vector<std::vector<std::string>> lines =
      Fields(Tvx({"scan", path, "--form", "FRM\xE9"}).out);  // ASCII letters in any case
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], (std::vector<std::string>{lines[1][0], lines[1][1], "Agent1(3)",
                                                "AgentObjectsCtl.Agent", "PERSONA.Persona",
                                                "frm\\xE9", "(MDI", "form)"}));
  // Standard input, not copied: the indexes from the bytes the scan holds.
  EXPECT_EQ(Fields(RunProgram(TVX_TOOL, {"scan", "-", "--form", "frm\xE9"}, path).out), lines);
  const std::string json = Tvx({"scan", path, "--json"}).out;
  const nlohmann::json first = nlohmann::json::parse(json.substr(0, json.find('\n')));
  EXPECT_EQ(first["index"], 2);
  // Decoding each record, the index is the decode's: the same numbers.
  EXPECT_NE(Tvx({"scan", path, "--form", "frm\xE9", "--decode"}).out.find(" Agent1(3) "),
            std::string::npos);
  const std::string decoded = Tvx({"scan", path, "--json", "--decode"}).out;
  EXPECT_EQ(nlohmann::json::parse(decoded.substr(0, decoded.find('\n')))["index"], 2);
  EXPECT_EQ(Tvx({"scan", path, "--table", "--fields", "name,index,Index"}).out,
            "name    index  Index\nAgent1  2      2\nAgent1  3      3\nOut1           \n"
            "Lost1          \n");
  EXPECT_EQ(first["form"],
            nlohmann::json::parse("{\"name\": \"frm\\u00e9\", \"kind\": 20, \"kind_name\": "
                                  "\"mdi_form\", \"offset\": 68, \"size\": " +
                                  std::to_string(oddSize) + "}"));
}

// tvx scan on collections, each run with -j 1 and with -j 3 (the same output, in the same
// order): nested folders walked in byte order of names, a file that cannot be read, a symbolic
// link loop, a sparse file with a record at its end and one whose last byte starts the hole,
// records across the edges of the scan's pieces, standard input, and records picked by name and
// position. Each line's fields are checked against the records as laid down.
TEST(TvxScan, Collections) {
  TempDir dir;
  const std::string agent = Record("Agent1", "AgentObjectsCtl.Agent", "\x2D");
  const std::string calendar = Record("Cal_1", "MSACAL.Calendar", "\x2D");
  const std::string grid = Record("Grid1", "MSFlexGridLib.MSFlexGrid", "\x2D");
  std::map<std::string, std::vector<std::string>> lines;  // each file's lines, their fields
  // Writes `bytes` at `at` in the file (a hole before it where nothing was written); each record
  // given is listed as of the file's control `control`, "-" for none.
  const auto put = [&](const std::string& path, std::uint64_t at, const std::string& bytes,
                       const std::string& record = "", const std::string& control = "") {
    fs::create_directories(fs::path(path).parent_path());
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)),
              static_cast<ssize_t>(bytes.size()));
    close(fd);
    if (record.empty()) return;
    const double position = static_cast<double>(at + bytes.find(record) + record.size());
    char offset[32];
    std::snprintf(offset, sizeof offset, "0x%llX", static_cast<unsigned long long>(position - 1));
    const std::size_t n = static_cast<unsigned char>(record[0]);
    const std::string name = record.substr(2, n);
    const std::string className = record.substr(n + 6, record.size() - n - 8);
    lines[path].push_back(NumberText(position) + " " + offset + " " + name + " " + className + " " +
                          (control == "-" ? control : ProgramFor(control)) + " -");
  };
  const std::string d = dir / "d";
  put(d + "/B.exe", 0, PeHead() + "xx" + agent, agent, "Agent");
  put(d + "/a/p1.exe", 0, PeHead() + agent + grid, agent, "Agent");
  put(d + "/a/b/p2.exe", 0, PeHead() + std::string(1000, '\0') + calendar, calendar, "Calendar");
  put(d + "/a/notes.txt", 0, "no program here");
  fs::create_symlink("..", d + "/a/b/up");  // a loop, when followed
  fs::create_symlink("p1.exe", d + "/a/link.exe");
  // The class name's 00 is the first byte of the hole that runs to 16 GiB, then a record.
  const std::string sparse = dir / "sparse.exe";
  put(sparse, 0,
      PeHead() + std::string(4096 - PeHead().size() - agent.size() + 2, 'x') +
          agent.substr(0, agent.size() - 2));
  lines[sparse].push_back("4098 0x1001 Agent1 AgentObjectsCtl.Agent " + ProgramFor("Agent") + " -");
  put(sparse, std::uint64_t{16} << 30, calendar, calendar, "Calendar");
  // Records across the edges of the scan's 256 KiB pieces.
  const std::string edges = dir / "edges.exe";
  for (const std::uint64_t edge : {1 << 18, (2 << 18) - 3, (3 << 18) - 40, (4 << 18) - 280})
    put(edges, edge - 10, agent, agent, "Agent");
  put(edges, 0, PeHead());
  const auto prefixed = [&](const std::string& file, const std::string& as) {
    std::vector<std::string> with;
    for (const std::string& line : lines[file])
      with.push_back(as + ":" + line);
    return with;
  };
  const auto join = [](std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts)
      all.insert(all.end(), part.begin(), part.end());
    return all;
  };
  const auto walked =
      join({prefixed(d + "/B.exe", d + "/B.exe"), prefixed(d + "/a/b/p2.exe", d + "/a/b/p2.exe"),
            prefixed(d + "/a/p1.exe", d + "/a/p1.exe")});
  const std::string note = d + "/a/notes.txt: not a Windows program";
  // Picked by name: the grid that follows the agent, of no control.
  const double gridAt = static_cast<double>(PeHead().size() + agent.size() + grid.size());
  char gridOffset[32];
  std::snprintf(gridOffset, sizeof gridOffset, "0x%llX",
                static_cast<unsigned long long>(gridAt - 1));
  const std::string gridLine =
      NumberText(gridAt) + " " + gridOffset + " Grid1 MSFlexGridLib.MSFlexGrid - -";
  struct Case {
    std::vector<std::string> args;
    std::string input;  // standard input: a file, or "" for none
    std::vector<std::string> lines;
    int status;
    std::vector<std::string> errs;  // each on standard error
  };
  const Case cases[] = {
      // A file found in a folder that is not a program is counted; one named gets its note.
      {{d}, "", walked, 0, {"tvx scan: 4 files, ", "; 1 not a program, scanned as raw bytes\n"}},
      {{d + "/a/notes.txt"}, "", {}, 0, {note}},
      {{d, "--follow"},
       "",
       join({prefixed(d + "/B.exe", d + "/B.exe"), prefixed(d + "/a/b/p2.exe", d + "/a/b/p2.exe"),
             prefixed(d + "/a/p1.exe", d + "/a/link.exe"),
             prefixed(d + "/a/p1.exe", d + "/a/p1.exe")}),
       1,
       {"tvx scan: cannot read \"" + d + "/a/b/up\": a symbolic link loop\n"}},
      {{d + "/a/b/p2.exe", "/proc/self/mem", d + "/B.exe"},
       "",
       join({prefixed(d + "/a/b/p2.exe", d + "/a/b/p2.exe"), prefixed(d + "/B.exe", d + "/B.exe")}),
       1,
       {"tvx scan: cannot read \"/proc/self/mem\": Input/output error\n"}},
      {{sparse}, "", lines[sparse], 0, {sparse + ": 2 records: "}},
      {{edges}, "", lines[edges], 0, {}},
      {{"-"}, edges, lines[edges], 0, {"tvx scan: -: 4 records: "}},
      {{"-", d + "/B.exe"},
       edges,
       join({prefixed(edges, "-"), prefixed(d + "/B.exe", d + "/B.exe")}),
       0,
       {}},
      {{"--all", "--name=GRID1", d + "/a/p1.exe"},
       "",
       {gridLine},
       0,
       {"tvx scan: " + d + "/a/p1.exe: 1 record; 1 of other classes\n"}},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& a : c.args)
      joined += a + " ";
    std::optional<Outcome> first;
    for (const char* jobs : {"-j1", "-j3"}) {
      SCOPED_TRACE(joined + jobs);
      std::vector<std::string> args = {"scan", jobs};
      args.insert(args.end(), c.args.begin(), c.args.end());
      const Outcome outcome = RunProgram(TVX_TOOL, args, c.input);
      EXPECT_EQ(outcome.status, c.status) << outcome.err;
      std::vector<std::string> got;
      for (const std::vector<std::string>& fields : Fields(outcome.out)) {
        std::string line;
        for (const std::string& field : fields)
          line += (line.empty() ? "" : " ") + field;
        got.push_back(line);
      }
      EXPECT_EQ(got, c.lines);
      for (const std::string& err : c.errs)
        EXPECT_NE(outcome.err.find(err), std::string::npos) << outcome.err;
      if (first) {
        EXPECT_EQ(outcome.out, first->out);
        EXPECT_EQ(outcome.err, first->err);
      }
      first = outcome;
    }
  }
  // Picked by position: the second of the four records across the edges.
  const std::string second = lines[edges][1];
  const Outcome picked = Tvx({"scan", edges, "--position", second.substr(0, second.find(' '))});
  EXPECT_EQ(Fields(picked.out), Fields(second + "\n"));
}

}  // namespace
}  // namespace tvx::testing

namespace tvx::testing {
namespace {

using Json = nlohmann::json;

// A standard JSON Schema validator (Debian's python3-jsonschema), given the schema file alone,
// over every command's JSON (decode, explain, scan's JSON Lines, host), for streams that end at
// the end code, are cut, are stopped, hold a picture or a text long enough to be left in the
// file; and over documents that must fail: no document checks out that lacks a member of its
// kind, has a place that is not a whole number, or a kind the schema does not know. Each
// document but scan's lines is laid out as the library lays it out.
TEST(TvxJson, EveryDocumentFollowsTheSchema) {
  TempDir dir;
  std::vector<std::pair<std::string, std::string>> streams;  // control, path at position 1
  for (const auto& [control, hex] :
       {std::pair{"Agent", "0B w:2 u\"\xE9\" 2D z:12 l:1 l:2 32 FF"},  // a stop line
        {"Agent", "0B w:5 u\"ab\""},                                   // cut in a text
        {"Agent", "2D z:12 l:1 l:2 39 l:4294967071 FF"},               // a signed Left
        {"ActiveXPlugin", "0A l:11 z:8 AA BB CC 2D z:24 FF"},          // a picture
        {"ActiveXPlugin", "2D z:24 4A w:0 r:20000:41 00 FF"}}) {       // a long ToolTipText
    streams.emplace_back(control, dir / ("stream" + std::to_string(streams.size()) + ".exe"));
    hexstream::WriteFile(streams.back().second, hexstream::Parse(hex));
  }
  std::vector<std::vector<std::string>> runs;
  std::string program;
  for (const Sample& s : Samples()) {
    runs.push_back({"decode", s.deliverable, s.path, s.start, "--json", "--offsets"});
    runs.push_back({"explain", s.deliverable, s.path, s.start, "--json"});
    runs.push_back({"explain", s.deliverable, s.path, s.start, "--json", "--limit=2"});
    const std::string bytes = hexstream::ReadFile(s.path);
    program += Record("Control" + std::to_string(runs.size()), "Class" + s.deliverable,
                      bytes.substr(static_cast<std::size_t>(std::stod(s.start) - 1)));
  }
  program += Record("Other1", "Some.Other", "");
  for (const auto& [control, path] : streams) {
    runs.push_back({"decode", control, path, "1", "--json"});
    runs.push_back({"explain", control, path, "1", "--json"});
  }
  hexstream::WriteFile(dir / "program.exe", program);
  std::vector<std::string> scan = {"scan", dir / "program.exe", "--json", "--decode", "--all"};
  for (const Sample& s : Samples())
    scan.push_back("--class=Class" + s.deliverable + "=" + s.deliverable);
  runs.push_back(scan);
  runs.push_back({"scan", dir / "program.exe", "--json"});
  // Records in forms, one of a control array.
  runs.push_back({"scan", std::string(TVX_SAMPLES_DIR) + "/example.exe", "--json", "--all"});
  const std::string agent = PluginPath(ProgramFor("Agent"));
  if (!agent.empty()) {
    runs.push_back({"host", agent, Samples().front().path, Samples().front().start, "--json"});
  }
  std::string documents;
  for (const std::vector<std::string>& args : runs) {
    const Outcome outcome = Tvx(args);
    EXPECT_NE(outcome.out, "") << args[0] << " " << args[1] << " " << outcome.err;
    if (args[0] != "scan") {
      EXPECT_EQ(nlohmann::ordered_json::parse(outcome.out).dump(1, ' ', true) + "\n", outcome.out)
          << args[0] << " " << args[1];
    }
    // One document a line, as the validator below reads them.
    std::istringstream lines(outcome.out);
    std::string document;
    for (std::string line; std::getline(lines, line);) {
      document += line;
      if (args[0] == "scan" || line == "}") {
        documents += document + "\n";
        document.clear();
      }
    }
  }
  // The long text, left in the file while the decode runs, comes whole: the value at 29.
  const Json tip =
      Json::parse(Tvx({"explain", "ActiveXPlugin", streams.back().second, "1", "--json"}).out);
  EXPECT_EQ(tip["values"][13]["position"], 29);
  EXPECT_EQ(tip["values"][13]["value"], std::string(20000, 'A'));
  hexstream::WriteFile(dir / "good.jsonl", documents);
  hexstream::WriteFile(
      dir / "bad.jsonl",
      "{\"schema\": \"tvx/2\", \"kind\": \"decode\"}\n"
      "{\"schema\": \"tvx/2\", \"kind\": \"scan_record\", \"file\": \"a\", \"position\": "
      "\"abc\", \"offset\": 0, \"name\": \"A\", \"class\": \"B\", \"control\": null}\n"
      "{\"schema\": \"tvx/2\", \"kind\": \"scan_record\", \"file\": \"a\", \"position\": 1.5, "
      "\"offset\": 0.5, \"name\": \"A\", \"class\": \"B\", \"control\": null}\n"
      "{\"schema\": \"tvx/2\", \"kind\": \"scan_record\", \"file\": \"a\", \"position\": "
      "9007199254740993, \"offset\": 9007199254740992, \"name\": \"A\", \"class\": \"B\", "
      "\"control\": null}\n"
      "{\"schema\": \"tvx/2\", \"kind\": \"scan_record\", \"file\": \"a\", \"position\": 1, "
      "\"offset\": 0, \"name\": \"A\", \"class\": \"B\", \"control\": null, \"extra\": 1}\n"
      "{\"schema\": \"tvx/2\", \"kind\": \"frobnicate\"}\n"
      "{\"schema\": \"tvx/1\", \"kind\": \"scan_summary\", \"files\": 0, \"unreadable\": 0, "
      "\"bytes\": 0, \"records\": 0, \"controls\": {}, \"other_classes\": 0, "
      "\"not_programs\": 0}\n"
      // A property whose detail has no type, a value that is a list, a meaning that is a number.
      "{\"schema\": \"tvx/2\", \"kind\": \"scan_record\", \"file\": \"a\", \"position\": 1, "
      "\"offset\": 0, \"name\": \"A\", \"class\": \"B\", \"control\": null, "
      "\"property_details\": {\"X\": {\"line\": 1, \"bytes\": []}}}\n"
      "{\"schema\": \"tvx/2\", \"kind\": \"scan_record\", \"file\": \"a\", \"position\": 1, "
      "\"offset\": 0, \"name\": \"A\", \"class\": \"B\", \"control\": null, "
      "\"properties\": {\"X\": [1]}}\n"
      "{\"schema\": \"tvx/2\", \"kind\": \"scan_record\", \"file\": \"a\", \"position\": 1, "
      "\"offset\": 0, \"name\": \"A\", \"class\": \"B\", \"control\": null, "
      "\"property_details\": {\"X\": {\"type\": \"enumerated\", \"value\": 1, \"text\": \"1\", "
      "\"line\": 1, \"bytes\": [], \"meaning\": 1}}}\n");
  const std::string script =
      "import json, sys, collections, jsonschema\n"
      "schema = json.load(open(sys.argv[1]))\n"
      "jsonschema.Draft202012Validator.check_schema(schema)\n"
      "v = jsonschema.Draft202012Validator(schema)\n"
      "kinds = collections.Counter()\n"
      "for line in open(sys.argv[2]):\n"
      "  d = json.loads(line); kinds[d['kind']] += 1\n"
      "  for e in v.iter_errors(d): print('good failed:', d['kind'], e.message[:200])\n"
      "for line in open(sys.argv[3]):\n"
      "  if v.is_valid(json.loads(line)): print('bad passed:', line.strip())\n"
      "print(sorted(kinds))\n";
  const Outcome checked = RunProgram(
      "/usr/bin/python3", {"-c", script, TVX_SCHEMA, dir / "good.jsonl", dir / "bad.jsonl"}, "");
  EXPECT_EQ(checked.status, 0) << checked.err;
  EXPECT_EQ(checked.out, std::string("['decode', 'explain', ") + (agent.empty() ? "" : "'host', ") +
                             "'scan_record', 'scan_summary']\n");
  // The schema's words are core's, each vocabulary in its enum's order.
  std::ifstream file(TVX_SCHEMA);
  const Json schema = Json::parse(file);
  for (const core::Vocabulary& v : core::Vocabularies()) {
    std::vector<std::string> words(v.words.begin(), v.words.end());
    EXPECT_EQ(schema["$defs"][std::string(v.name)]["enum"], Json(words)) << v.name;
  }
}

// docs/properties.md is what tvx properties writes now; one control's section is its part.
TEST(TvxProperties, TheReferenceIsTheDocument) {
  const std::string docs = std::filesystem::path(TVX_DOCS).parent_path() / "properties.md";
  const Outcome all = Tvx({"properties"});
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out, hexstream::ReadFile(docs))
      << "docs/properties.md is out of date: build/bin/tvx properties > docs/properties.md";
  const Outcome one = Tvx({"properties", "adodc"});
  EXPECT_NE(all.out.find(one.out), std::string::npos);
  EXPECT_NE(one.out.find("| CursorLocation | enumerated | where the cursor library runs | `0` | "
                         "1 adUseNone, 2 adUseServer, 3 adUseClient |"),
            std::string::npos);
  EXPECT_EQ(Tvx({"properties", "mscom"}).status, 2);
}

// A path comes back as it was given: in JSON the same string when it is UTF-8, and its bytes
// otherwise; in a message as it is on a UTF-8 terminal, escaped where it is not, and a control
// character and an overlong form (F0 8F BF BF, U+FFFF in four bytes) escaped everywhere.
TEST(TvxJson, PathsComeBackAsTheyWereGiven) {
  TempDir dir;
  const std::string stream = hexstream::Parse("2D z:20 FF");
  const std::string utf8 = dir / "\xC3\xBCn\xC3\xAF.exe";  // "ünï.exe"
  const std::string latin1 = dir / "\xFCn.exe";            // not UTF-8
  hexstream::WriteFile(utf8, stream);
  hexstream::WriteFile(latin1, stream);
  const Json fromUtf8 = Json::parse(Tvx({"decode", "agent", utf8, "1", "--json"}).out);
  EXPECT_EQ(fromUtf8["file"], utf8);
  EXPECT_FALSE(fromUtf8.contains("file_bytes"));
  const Json fromLatin1 = Json::parse(Tvx({"decode", "agent", latin1, "1", "--json"}).out);
  EXPECT_EQ(fromLatin1["file"], dir / "\xEF\xBF\xBDn.exe");  // U+FFFD for the byte
  // Each character of a stream text is a byte: U+0080 to U+00FF come as two UTF-8 bytes.
  const std::string text = fromLatin1["file_bytes"];
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    bytes.push_back(static_cast<char>(b < 0x80 ? b : ((b & 0x03) << 6) | (text[++i] & 0x3F)));
  }
  EXPECT_EQ(bytes, latin1);
  const std::string missing = dir / "\xC3\xBCn\xC3\xAF\x01\xF0\x8F\xBF\xBF.exe";
  const char* saved = std::getenv("LC_ALL");
  const std::string before = saved != nullptr ? saved : "";
  setenv("LC_ALL", "C.UTF-8", 1);
  EXPECT_EQ(Tvx({"decode", "agent", missing, "1"}).err,
            "tvx decode: cannot read \"" + dir.path() +
                "/\xC3\xBCn\xC3\xAF\\x01\\xF0\\x8F\\xBF\\xBF.exe\": No such file or directory\n");
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(Tvx({"decode", "agent", missing, "1"}).err,
            "tvx decode: cannot read \"" + dir.path() +
                "/\\xC3\\xBCn\\xC3\\xAF\\x01\\xF0\\x8F\\xBF\\xBF.exe\": No such file or "
                "directory\n");
  if (saved != nullptr) {
    setenv("LC_ALL", before.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}

}  // namespace
}  // namespace tvx::testing
