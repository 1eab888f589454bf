// The tvx program as its users run it: decode against the plug-ins' own files, explain's
// accounting of every byte, host through a plug-in's channel, and the argument errors.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "cases.h"
#include "hexstream.h"
#include "plugin_process.h"
#include "tvx/decode_run.h"
#include "tvx/dispatcher.h"

extern char** environ;

namespace tvx::testing {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs a program to its end, collecting both of its outputs.
Outcome RunProgram(const std::string& program, const std::vector<std::string>& args) {
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
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
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* into[2] = {&outcome.out, &outcome.err};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, 30000) <= 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        into[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (const pollfd& p : fds) {
    if (p.fd >= 0) close(p.fd);
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
  ASSERT_EQ(decoded.status, 0) << decoded.err;
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

// A row with bytes: "<decimal>/<hex> | <hex pairs> ...". Nothing for any other line.
std::optional<Row> ParseRow(const std::string& line) {
  std::size_t i = line.find_first_not_of(' ');
  const std::size_t digits = i;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9')
    ++i;
  if (i == digits || i >= line.size() || line[i] != '/') return std::nullopt;
  const double position = std::stod(line.substr(digits, i - digits));
  const std::size_t hexStart = ++i;
  while (i < line.size() && IsHexDigit(line[i]))
    ++i;
  EXPECT_EQ(std::stoull(line.substr(hexStart, i - hexStart), nullptr, 16),
            static_cast<std::uint64_t>(position))
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
    EXPECT_EQ(e.stopped.rfind("== stopped after position " + last + "/", 0), 0u) << e.stopped;
    EXPECT_NE(e.stopped.find(": end code 255 =="), std::string::npos) << e.stopped;
    ++explained;
  }
  EXPECT_GE(explained, 2);
}

// The agent sample worked out from its annotated hex: section A 1025-1043 (Index, Tag
// "Merlin", 2D), the control block 1044-1063 (12 header bytes, _cx, _cy), section B 1064-1074
// (Left 120, Top 240, FF).
TEST(TvxExplain, ShowsTheAgentSamplesFrameAndValues) {
  const Outcome outcome =
      Tvx({"explain", "agent", std::string(TVX_SAMPLES_DIR) + "/agent.exe", "1025"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  const std::string& out = outcome.out;
  for (const char* expected : {
           "-- section A from 1025/401",
           "      1028/404 | 0B                      | code 11: Tag\n",
           "      1031/407 | 4D 00 65 00 72 00 6C 00 | UTF-16 text \"Merlin\"\n"
           "      1039/40F | 69 00 6E 00\n"
           "               |                         | => Tag: Merlin\n",
           "      1043/413 | 2D                      | code 45: end of section A\n"
           "-- control block from 1044/414",
           "      1056/420 | 4F 03 00 00             | long 847\n",
           "-- section B from 1064/428",
           "      1065/429 | 78 00 00 00             | long 120\n"
           "               |                         | => Left: 120\n",
           "== stopped after position 1074/432: end code 255 ==\n"
           "== 50 bytes accounted for, 1025/401 to 1074/432 ==\n",
       }) {
    EXPECT_NE(out.find(expected), std::string::npos) << "missing: " << expected << "\n" << out;
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
       "== stopped after position 34/22: stop line \"AGENTOBJECT Parse Error\" for code 50, "
       "which this control does not know in section B =="},
      // The Tag's text wants 10 bytes, the file holds 4 of them (4-7); no code byte follows.
      {"cut in a text", "0B w:5 u\"ab\"", "1", 8,
       "== stopped after position 7/7: Unexpected end of file: the next code byte would lie past "
       "the end of the file =="},
      // Starting at 4: 2D, then the control block is cut after 3 of its 20 bytes.
      {"cut in the control block", "AA BB CC 2D 01 02 03", "4", 8,
       "== stopped after position 7/7: Unexpected end of file: the next code byte would lie past "
       "the end of the file =="},
      // Unknown section A codes are passed over one byte at a time.
      {"unknown codes", "05 06 2D z:20 FF", "1", 25,
       "== stopped after position 24/18: end code 255 =="},
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
    ASSERT_EQ(outcome.status, 0) << outcome.err;
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
  EXPECT_NE(outcome.out.find("         1/1 | 05                      | code 5: not known to this "
                             "control, passed over\n"),
            std::string::npos)
      << outcome.out;
  EXPECT_NE(outcome.out.find("        23/17 | 32                      | code 50: not known to this "
                             "control\n               |                         | => AGENTOBJECT "
                             "Parse Error\n"),
            std::string::npos)
      << outcome.out;
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
    const std::string expected =
        "plug-in: " + program + "\nrequest: %" + s.path + "#" + s.start +
        "@Y\\xFF\nreply:   ^DONE\\xFF\n== TEVOLIBFILE.TMP, " + std::to_string(listing.size()) +
        " bytes, in " + home.path() + " ==\n" + listing + "== TEVOLIBFILE2.TMP, " +
        std::to_string(block.size()) + " bytes, in " + home.path() + " ==\n" + block;
    EXPECT_EQ(outcome.out.substr(0, expected.size()), expected);
    const Outcome decoded = Tvx({"decode", s.deliverable, s.path, s.start, "--offsets"});
    EXPECT_EQ(decoded.out, listing + block);
    std::string tail = "end:     ^END\\xFF -> exit status 0\n";
    if (fs::exists(home / "TEVOGRAPHICFILE1.TMP")) {
      tail = "== TEVOGRAPHICFILE1.TMP, " +
             std::to_string(fs::file_size(home / "TEVOGRAPHICFILE1.TMP")) + " bytes, in " +
             home.path() + " (a picture, not shown) ==\n" + tail;
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
  EXPECT_NE(outcome.out.find("plug-in: " + (bin / (ProgramFor("Agent") + ".tvx"))), std::string::npos);
  EXPECT_EQ(hexstream::ReadFile(bin / "TEVOLIBFILE.TMP"),
            "Tag: Merlin\r\nLeft: 120\r\nTop: 240\r\n");
}

TEST(TvxArguments, HelpForEveryCommand) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"--help"}, "usage: tvx COMMAND"},
      {{"decode", "--help"}, "usage: tvx decode CONTROL FILE POSITION"},
      {{"explain", "-h"}, "usage: tvx explain CONTROL FILE POSITION"},
      {{"host", "agent", "--help"}, "usage: tvx host PLUGIN FILE POSITION [Y|N]"},
  };
  for (const auto& [args, usage] : cases) {
    const Outcome outcome = Tvx(args);
    EXPECT_EQ(outcome.status, 0) << args[0];
    EXPECT_EQ(outcome.out.rfind(usage, 0), 0u) << outcome.out;
    EXPECT_EQ(outcome.err, "");
  }
}

TEST(TvxArguments, ErrorsGoToStandardErrorWithAStatus) {
  TempDir dir;
  const std::string file = dir / "stream.exe";
  hexstream::WriteFile(file, hexstream::Parse("2D z:20 FF"));
  const std::string missing = dir / "missing.exe";
  const std::string hashed = dir / "a#b.exe";
  hexstream::WriteFile(hashed, "");
  const std::string agent = PluginPath(ProgramFor("Agent"));
  struct Bad {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const Bad cases[] = {
      {{}, 2, "usage: tvx COMMAND"},
      {{"frobnicate"}, 2, "tvx: unknown command \"frobnicate\""},
      {{"decode", "agent", file}, 2, "tvx decode: expected CONTROL FILE POSITION, got 2 arguments"},
      {{"decode", "grid", file, "1"}, 2, "tvx: unknown control \"grid\"; the controls are:\n"},
      {{"decode", "agent", file, "0"}, 2, "tvx decode: \"0\" is not a start position"},
      {{"decode", "agent", file, "12x"}, 2, "tvx decode: \"12x\" is not a start position"},
      {{"decode", "agent", file, "0xZ1"}, 2, "tvx decode: \"0xZ1\" is not a start position"},
      {{"decode", "agent", file, "1@Y"}, 2, "tvx decode: \"1@Y\" is not a start position"},
      {{"decode", "agent", file, "1", "--bold"}, 2, "tvx decode: unknown option --bold"},
      {{"decode", "agent", file, "1", "--picture"}, 2, "tvx decode: --picture needs a file name"},
      {{"decode", "agent", missing, "1"},
       1,
       "tvx decode: cannot read \"" + missing + "\": No such file or directory\n"},
      {{"decode", "agent", dir.path(), "1"},
       1,
       "tvx decode: cannot read \"" + dir.path() + "\": not a regular file\n"},
      {{"explain", "agent", file, "1", "--offsets"}, 2, "tvx explain: unknown option --offsets"},
      {{"explain", "agent", missing, "1"}, 1, "tvx explain: cannot read \"" + missing + "\""},
      {{"host", agent, file}, 2, "tvx host: expected PLUGIN FILE POSITION [Y|N], got 2 arguments"},
      {{"host", agent, file, "1", "y"}, 2, "tvx host: the offsets flag is Y or N, not \"y\""},
      {{"host", agent, file, "-1"}, 2, "tvx host: unknown option -1"},
      {{"host", agent, hashed, "1"}, 2, "tvx host: a request cannot carry the path"},
      {{"host", "NoSuchPlugin", file, "1"}, 2, "tvx host: no plug-in program \"NoSuchPlugin\""},
      {{"host", "tvx", file, "1"}, 2, "tvx host: no plug-in program \"tvx\""},
      {{"host", dir / "nothing.tvx", file, "1"}, 2, "tvx host: no plug-in program"},
      {{"host", agent, missing, "1"}, 1, "tvx host: cannot read \"" + missing + "\""},
  };
  for (const Bad& bad : cases) {
    std::string joined;
    for (const std::string& a : bad.args)
      joined += a + " ";
    SCOPED_TRACE(joined);
    const Outcome outcome = Tvx(bad.args);
    EXPECT_EQ(outcome.status, bad.status);
    EXPECT_NE(outcome.err.find(bad.message), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out, "");
  }
  EXPECT_FALSE(fs::exists(missing));
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
  EXPECT_EQ(snapshot(), before);
}

}  // namespace
}  // namespace tvx::testing
