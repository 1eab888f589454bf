// Hostile input through the built programs and their exchange channel: damaged or huge program
// files, inputs that are not files at all, over-long and fragmented messages, an output
// directory that cannot be written. Every request must be answered within a second by a
// plug-in held to a 256 MiB address space, and the plug-in must end normally on "^END".
// (Under the sanitizers the address space is not limited and the time is longer.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "cases.h"
#include "hexstream.h"
#include "plugin_process.h"

namespace tvx::testing {
namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

constexpr int kReplyMs = kSanitized ? 10000 : 1000;
constexpr std::uint64_t kAddressSpace = kSanitized ? 0 : std::uint64_t{256} << 20;

const std::string kListingName = "TEVOLIBFILE.TMP";
const std::string kBlockName = "TEVOLIBFILE2.TMP";
const std::string kPictureName = "TEVOGRAPHICFILE1.TMP";

// The deliverables these tests use, by the control class each decodes.
const std::string kAgent = ProgramFor("Agent");
const std::string kPluginHost = ProgramFor("ActiveXPlugin");
const std::string kAdodc = ProgramFor("Adodc");

// The blocks of a run that found no properties (worked out from the block tables).
const std::string kAgentEmptyBlock = CrLf(
    "LibraryVersion3.0\n"
    "_cx               = 0\n"
    "_cy               = 0\n");
const std::string kEmbedderEmptyBlock = CrLf(
    "LibraryVersion3.0\n"
    "Height             = -1\n"
    "Left               = -1\n"
    "TabIndex           = -1\n"
    "Top                = -1\n"
    "Width              = -1\n"
    "_ExtentX           = 0\n"
    "_ExtentY           = 0\n");

// Two agent streams in one file: Tag "A", extent 1 x 2 at position 1; Tag "B", extent 3 x 4 at
// position 28 (its Tag value at 29).
const std::string kTwoAgentStreams = hexstream::Parse(
    "0B w:1 u\"A\" 2D z:12 l:1 l:2 FF "
    "0B w:1 u\"B\" 2D z:12 l:3 l:4 FF");
const std::string kAgentBlockA = CrLf(
    "LibraryVersion3.0\n"
    "Tag               = \"A\"\n"
    "_cx               = 1\n"
    "_cy               = 2\n");
const std::string kAgentBlockB = CrLf(
    "LibraryVersion3.0\n"
    "Tag               = \"B\"\n"
    "_cx               = 3\n"
    "_cy               = 4\n");

std::string ReadOrMissing(const std::string& path) {
  if (!fs::exists(path)) return "<missing>";
  return hexstream::ReadFile(path);
}

// Peak resident memory of a process in KiB, from /proc.
std::uint64_t PeakResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6));
  }
  return 0;
}

// A copy of a deliverable in a directory of its own, running under the limits.
class Plugin {
 public:
  // `defaultSigpipe`: started with SIGPIPE at its default action, as most hosts start a child
  // (this test program ignores it, and an ignored signal stays ignored in a child).
  explicit Plugin(std::string_view deliverable, bool withoutRoot = false,
                  std::uint64_t fileSizeLimit = 0, bool defaultSigpipe = false) {
    // Accessible to the unprivileged user as well; mkdtemp makes it private.
    fs::permissions(home_.path(), fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
    program_ = CopyPlugin(deliverable, home_.path());
    ProcessOptions options;
    options.workingDirectory = "/";
    options.addressSpaceLimit = kAddressSpace;
    options.withoutRoot = withoutRoot;
    options.fileSizeLimit = fileSizeLimit;
    std::string start = program_;
    if (defaultSigpipe) {
      start = home_ / kStarter;
      hexstream::WriteFile(
          start, "#!/bin/sh\nexec /usr/bin/env --default-signal=PIPE \"" + program_ + "\"\n");
      fs::permissions(start, fs::perms::owner_all);
    }
    process_ = std::make_unique<PluginProcess>(start, options);
  }

  PluginProcess& process() { return *process_; }
  const TempDir& home() const { return home_; }

  // One message and its reply, within the time allowed.
  ::testing::AssertionResult Ask(std::string_view message) {
    if (!process_->Send(std::string(message) + kEndMark)) {
      return ::testing::AssertionFailure() << "the plug-in is gone";
    }
    return Replied();
  }
  ::testing::AssertionResult Replied() {
    const auto reply = process_->ReadReply(kReplyMs);
    if (!reply) return ::testing::AssertionFailure() << "no reply within " << kReplyMs << " ms";
    if (*reply != kReply) return ::testing::AssertionFailure() << "wrong reply " << *reply;
    return ::testing::AssertionSuccess();
  }

  std::string Listing() const { return ReadOrMissing(home_ / kListingName); }
  std::string Block() const { return ReadOrMissing(home_ / kBlockName); }
  std::string Picture() const { return ReadOrMissing(home_ / kPictureName); }

  // "^END": exit status 0, and nothing but the replies was ever written to standard output.
  void End() {
    ASSERT_TRUE(process_->Send(std::string("^END") + kEndMark));
    EXPECT_EQ(process_->WaitExit(kReplyMs), 0);
    EXPECT_EQ(process_->ReadRest(100), "");
    // The plug-in's directory holds its program and its own files, nothing else.
    for (const auto& entry : fs::directory_iterator(home_.path())) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name == fs::path(program_).filename().string() || name == kListingName ||
                  name == kBlockName || name == kPictureName || name == kStarter)
          << "unexpected file " << name;
    }
  }

 private:
  static constexpr char kStarter[] = "start.sh";
  TempDir home_;
  std::string program_;
  std::unique_ptr<PluginProcess> process_;
};

bool Built(std::string_view deliverable) {
  return !PluginPath(deliverable).empty();
}

#define REQUIRE_BUILT(deliverable) \
  if (!Built(deliverable)) GTEST_SKIP() << deliverable << " is not built"

// A directory for the program files the requests name, readable by everyone.
class Inputs {
 public:
  Inputs() {
    fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = dir_ / name;
    hexstream::WriteFile(path, bytes);
    return path;
  }
  std::string operator/(std::string_view name) const { return dir_ / name; }
  const std::string& path() const { return dir_.path(); }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_.path())) {
      names.insert(e.path().filename().string());
    }
    return names;
  }

 private:
  TempDir dir_;
};

std::string Request(const std::string& path, std::string_view position, char flag) {
  return "%" + path + "#" + std::string(position) + "@" + flag;
}

TEST(HostileInput, LengthsOfAllOnesAtTheEndOfTheFile) {
  REQUIRE_BUILT(kPluginHost);
  Inputs inputs;
  // At 17: DragIcon, its length 4294967295 at 18, the 8 header bytes, then only "abc".
  const std::string picture =
      inputs.Write("picture.exe", hexstream::Parse("z:16 0A l:4294967295 r:8:EE \"abc\""));
  // At 17: Tag with the greatest count a word holds, and only two units in the file.
  const std::string tag = inputs.Write("tag.exe", hexstream::Parse("z:16 0B w:65535 u\"xy\""));
  Plugin plugin(kPluginHost);

  ASSERT_TRUE(plugin.Ask(Request(picture, "17", 'Y')));
  EXPECT_EQ(plugin.Listing(), CrLf("DragIcon: TEVOGRAPHICFILE1.TMP\n"
                                   "  (Offset d/h: 18/12)\n"
                                   "Unexpected end of file\n"));
  EXPECT_EQ(plugin.Block(), CrLf("LibraryVersion3.0\n"
                                 "DragIcon           = TEVOGRAPHICFILE1.TMP\n"
                                 "Height             = -1\n"
                                 "Left               = -1\n"
                                 "TabIndex           = -1\n"
                                 "Top                = -1\n"
                                 "Width              = -1\n"
                                 "_ExtentX           = 0\n"
                                 "_ExtentY           = 0\n"));
  EXPECT_EQ(plugin.Picture(), "abc");  // only what the file holds

  ASSERT_TRUE(plugin.Ask(Request(tag, "17", 'Y')));
  EXPECT_EQ(plugin.Listing(), CrLf("Tag: xy\n"
                                   "  (Offset d/h: 18/12)\n"
                                   "Unexpected end of file\n"));
  EXPECT_EQ(plugin.Block(), CrLf("LibraryVersion3.0\n"
                                 "Height             = -1\n"
                                 "Left               = -1\n"
                                 "TabIndex           = -1\n"
                                 "Tag                = \"xy\"\n"
                                 "Top                = -1\n"
                                 "Width              = -1\n"
                                 "_ExtentX           = 0\n"
                                 "_ExtentY           = 0\n"));
  plugin.End();
}

TEST(HostileInput, CountedTextOfLength4294967295AtTheEndOfTheFile) {
  REQUIRE_BUILT(kAdodc);
  Inputs inputs;
  // Empty section A, the 108 bytes of fixed control block fields, then the first counted text
  // (ConnectionString) with the count 4294967295 and two units left in the file.
  const std::string path =
      inputs.Write("adodc.exe", hexstream::Parse("2D z:108 l:4294967295 u\"AB\""));
  Plugin plugin(kAdodc);
  ASSERT_TRUE(plugin.Ask(Request(path, "1", 'N')));
  const std::string listing = plugin.Listing();
  EXPECT_NE(listing.find("\r\nConnectionString:AB\r\n"), std::string::npos) << listing;
  // The other eight counts lie past the end, read as 0: no line for them.
  EXPECT_EQ(listing.find("OLEDBString:"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("Caption:"), std::string::npos) << listing;
  EXPECT_EQ(listing.find('\0'), std::string::npos) << "characters not in the file";
  const std::string end = "\r\nUnexpected end of file\r\n";
  EXPECT_EQ(listing.substr(listing.size() - std::min(listing.size(), end.size())), end);
  EXPECT_LT(listing.size(), 2000u);
  EXPECT_EQ(plugin.Block().rfind("LibraryVersion3.0\r\n", 0), 0u);
  plugin.End();
}

TEST(HostileInput, TwentyMebibytesOfZeroBytes) {
  Inputs inputs;
  const std::string path = inputs.Write("zeros.exe", std::string(20 << 20, '\0'));
  int built = 0;
  for (const std::string& deliverable : Deliverables()) {
    if (!Built(deliverable)) continue;
    ++built;
    SCOPED_TRACE(deliverable);
    Plugin plugin(deliverable);
    // Code 0 is unknown in section A to every decoder: a byte at a time to the end of the file.
    ASSERT_TRUE(plugin.Ask(Request(path, "1", 'Y')));
    EXPECT_EQ(plugin.Listing(), "Unexpected end of file\r\n");
    EXPECT_EQ(plugin.Block().rfind("LibraryVersion3.0\r\n", 0), 0u);
    if (deliverable == kAgent) {
      EXPECT_EQ(plugin.Block(), kAgentEmptyBlock);
    }
    if (deliverable == kPluginHost) {
      EXPECT_EQ(plugin.Block(), kEmbedderEmptyBlock);
    }
    plugin.End();
  }
  if (built == 0) GTEST_SKIP() << "no plug-in is built";
}

// The agent plug-in, and a program file holding kTwoAgentStreams at `path`.
class TwoAgentStreams : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Built(kAgent)) GTEST_SKIP() << kAgent << " is not built";
    path = inputs.Write("two.exe", kTwoAgentStreams);
    plugin = std::make_unique<Plugin>(kAgent);
  }
  Inputs inputs;
  std::string path;
  std::unique_ptr<Plugin> plugin;
};

TEST_F(TwoAgentStreams, InputStartFarBeyondTheEndOfTheFile) {
  Plugin& plugin = *this->plugin;
  for (const char* position :
       {"55", "5000000", "1000000000000000", "4294967297", "99999999999999999999999999999999"}) {
    SCOPED_TRACE(position);
    ASSERT_TRUE(plugin.Ask(Request(path, position, 'Y')));
    EXPECT_EQ(plugin.Listing(), "Unexpected end of file\r\n");
    EXPECT_EQ(plugin.Block(), kAgentEmptyBlock);
  }
  plugin.End();
}

// A sparse file of 4 GiB (no disk used) with one stream at its start, in its middle and at its
// end: each request costs what it costs from a small file, and memory stays flat.
TEST(HostileInput, StreamsInASparseFourGibibyteFile) {
  REQUIRE_BUILT(kAgent);
  Inputs inputs;
  const std::string stream = kTwoAgentStreams.substr(0, 27);  // Tag "A", extent 1 x 2
  const std::string small = inputs.Write("small.exe", stream);
  const std::string big = inputs / "big.exe";
  constexpr std::uint64_t kSize = std::uint64_t{4} << 30;
  {
    const int fd = open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kSize)), 0);
    for (const std::uint64_t at : {std::uint64_t{0}, kSize / 2, kSize - stream.size()}) {
      ASSERT_EQ(pwrite(fd, stream.data(), stream.size(), static_cast<off_t>(at)),
                static_cast<ssize_t>(stream.size()));
    }
    close(fd);
  }
  Plugin plugin(kAgent);
  constexpr int kRequests = 200;
  const auto timed = [&](const std::vector<std::string>& requests) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kRequests; ++i) {
      if (!plugin.Ask(requests[static_cast<std::size_t>(i) % requests.size()])) return -1.0;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  };
  const double smallTime = timed({Request(small, "1", 'N')});
  ASSERT_GT(smallTime, 0);
  const std::uint64_t before = PeakResidentKiB(plugin.process().pid());
  const double bigTime = timed({Request(big, "1", 'N'), Request(big, "2147483649", 'N'),
                                Request(big, std::to_string(kSize - stream.size() + 1), 'N')});
  ASSERT_GT(bigTime, 0);
  EXPECT_EQ(plugin.Block(), kAgentBlockA);
  EXPECT_EQ(plugin.Listing(), "Tag: A\r\n");
  // Generous bounds for a busy machine: reading the whole file once would take seconds.
  EXPECT_LT(bigTime, 3 * smallTime + 0.2) << "small " << smallTime << " s, big " << bigTime;
  if (!kSanitized) {
    const std::uint64_t after = PeakResidentKiB(plugin.process().pid());
    EXPECT_LT(after, before + 1024) << "peak memory grew from " << before << " KiB";
  }
  plugin.End();
}

TEST(HostileInput, InputsThatAreNotRegularFilesAreNeverOpened) {
  REQUIRE_BUILT(kAgent);
  Inputs inputs;
  const std::string fifo = inputs / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  Plugin plugin(kAgent);
  // Opening the FIFO or reading the devices would block or never end.
  for (const std::string& path :
       {inputs.path(), fifo, std::string("/dev/zero"), std::string("/dev/null"),
        std::string("/dev/urandom"), std::string("/dev/stdin"), std::string("/proc/self/fd/0"),
        std::string("")}) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(plugin.Ask(Request(path, "1", 'Y')));
    EXPECT_EQ(plugin.Listing(), "Cannot open input file: " + path + "\r\n");
    EXPECT_EQ(plugin.Block(), kAgentEmptyBlock);
  }
  struct stat st {};
  ASSERT_EQ(stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  plugin.End();
}

TEST(HostileInput, MissingInputIsNeverCreated) {
  REQUIRE_BUILT(kAgent);
  Inputs inputs;
  Plugin plugin(kAgent);
  for (const std::string& path : {inputs / "no-such-program.exe", inputs / "no-dir/program.exe",
                                  inputs / "trailing-slash/"}) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(plugin.Ask(Request(path, "1", 'N')));
    EXPECT_EQ(plugin.Listing(), "Cannot open input file: " + path + "\r\n");
    EXPECT_EQ(plugin.Block(), kAgentEmptyBlock);
  }
  EXPECT_TRUE(inputs.Names().empty()) << "the plug-in created something beside the inputs";
  plugin.End();
}

TEST_F(TwoAgentStreams, ChannelOverlongMessageIsAnInvalidRequestAndMemoryStaysBounded) {
  Plugin& plugin = *this->plugin;
  ASSERT_TRUE(plugin.Ask(Request(path, "1", 'N')));
  const std::uint64_t before = PeakResidentKiB(plugin.process().pid());

  // 10 MiB without an end mark, then a valid request: one message, far longer than a text box
  // holds.
  const std::string chunk(1 << 20, 'x');
  for (int i = 0; i < 10; ++i)
    ASSERT_TRUE(plugin.process().Send(chunk));
  ASSERT_TRUE(plugin.Ask(Request(path, "28", 'N')));
  EXPECT_EQ(plugin.Listing(), "Invalid request\r\n");
  EXPECT_EQ(plugin.Block(), kAgentEmptyBlock);
  if (!kSanitized) {
    const std::uint64_t after = PeakResidentKiB(plugin.process().pid());
    EXPECT_LT(after, before + 4096) << "peak memory grew from " << before << " KiB";
  }

  // The channel is in step again.
  ASSERT_TRUE(plugin.Ask(Request(path, "28", 'N')));
  EXPECT_EQ(plugin.Listing(), "Tag: B\r\n");
  EXPECT_EQ(plugin.Block(), kAgentBlockB);
  plugin.End();
}

TEST_F(TwoAgentStreams, ChannelMessagesAtTheTextBoxLimit) {
  Plugin& plugin = *this->plugin;
  // Blanks around the offset pad a valid request to exactly 32,767 characters, end mark
  // included; one more character makes it invalid.
  const std::string head = "%" + path + "#";
  const std::string tail = "28 @N";
  const std::string longest = head + std::string(32766 - head.size() - tail.size(), ' ') + tail;
  ASSERT_EQ(longest.size() + 1, 32767u);
  ASSERT_TRUE(plugin.Ask(longest));
  EXPECT_EQ(plugin.Listing(), "Tag: B\r\n");
  ASSERT_TRUE(plugin.Ask(head + " " + longest.substr(head.size())));
  EXPECT_EQ(plugin.Listing(), "Invalid request\r\n");
  EXPECT_EQ(plugin.Block(), kAgentEmptyBlock);
  plugin.End();
}

TEST_F(TwoAgentStreams, ChannelRequestSplitAcrossManySmallWrites) {
  Plugin& plugin = *this->plugin;
  const std::string request = Request(path, "28", 'Y');
  for (std::size_t i = 0; i < request.size(); ++i) {
    ASSERT_TRUE(plugin.process().Send(request.substr(i, 1)));
    if (i % 8 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // Nothing is answered before the end mark.
  EXPECT_EQ(plugin.process().Read(1, 200), std::nullopt);
  ASSERT_TRUE(plugin.process().Send(std::string(1, kEndMark)));
  ASSERT_TRUE(plugin.Replied());
  EXPECT_EQ(plugin.Listing(), CrLf("Tag: B\n  (Offset d/h: 29/1D)\n"));
  EXPECT_EQ(plugin.Block(), kAgentBlockB);

  for (const char c : std::string("^END") + kEndMark) {
    ASSERT_TRUE(plugin.process().Send(std::string(1, c)));
  }
  EXPECT_EQ(plugin.process().WaitExit(kReplyMs), 0);
  EXPECT_EQ(plugin.process().ReadRest(100), "");
}

TEST_F(TwoAgentStreams, ChannelSeveralMessagesInOneWrite) {
  Plugin& plugin = *this->plugin;
  const std::string mark(1, kEndMark);
  // Three requests (one of them invalid), three texts that get no reply, and the end.
  ASSERT_TRUE(plugin.process().Send(Request(path, "28", 'N') + mark + "^STOP" + mark + "%" + path +
                                    "@1#" + mark + "^DONE" + mark + Request(path, "1", 'N') + mark +
                                    "^" + mark + "^END" + mark));
  EXPECT_EQ(plugin.process().Read(3 * kReply.size(), kReplyMs), kReply + kReply + kReply);
  EXPECT_EQ(plugin.process().WaitExit(kReplyMs), 0);
  EXPECT_EQ(plugin.process().ReadRest(100), "");
  EXPECT_EQ(plugin.Listing(), "Tag: A\r\n");
  EXPECT_EQ(plugin.Block(), kAgentBlockA);
}

TEST(HostileChannel, ReadOnlyOutputDirectory) {
  REQUIRE_BUILT(kPluginHost);
  Inputs inputs;
  const std::string stream = hexstream::Parse("0A l:12 r:8:00 \"icon\" 2D z:16 l:10 l:20 FF");
  const std::string path = inputs.Write("icon.exe", stream);
  // As root the directory's permissions would not hold: the plug-in then runs as nobody.
  Plugin plugin(kPluginHost, /*withoutRoot=*/true);
  fs::permissions(plugin.home().path(),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(plugin.Ask(Request(path, "1", 'Y')));
  EXPECT_FALSE(fs::exists(plugin.home() / kListingName));
  EXPECT_FALSE(fs::exists(plugin.home() / kBlockName));
  EXPECT_FALSE(fs::exists(plugin.home() / kPictureName));
  plugin.End();
  EXPECT_EQ(hexstream::ReadFile(path), stream) << "the input was changed";
}

TEST(HostileChannel, OutputFilesThatCannotBeWrittenAreNeverLeftStale) {
  REQUIRE_BUILT(kPluginHost);
  Inputs inputs;
  const std::string path =
      inputs.Write("icon.exe", hexstream::Parse("0A l:12 r:8:00 \"icon\" 2D z:16 l:10 l:20 FF"));
  Plugin plugin(kPluginHost, /*withoutRoot=*/true);
  // The directory can be written, the earlier run's files cannot.
  fs::permissions(plugin.home().path(), fs::perms::all);
  for (const std::string& name : {kListingName, kBlockName, kPictureName}) {
    hexstream::WriteFile(plugin.home() / name, "stale\r\n");
    fs::permissions(plugin.home() / name,
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  }
  ASSERT_TRUE(plugin.Ask(Request(path, "1", 'N')));
  // In a directory that can be written, each earlier file is removed and made anew: every file
  // holds exactly this run's bytes.
  EXPECT_EQ(plugin.Listing(), "DragIcon: TEVOGRAPHICFILE1.TMP\r\n");
  EXPECT_EQ(plugin.Block(), CrLf("LibraryVersion3.0\n"
                                 "DragIcon           = TEVOGRAPHICFILE1.TMP\n"
                                 "Height             = -1\n"
                                 "Left               = -1\n"
                                 "TabIndex           = -1\n"
                                 "Top                = -1\n"
                                 "Width              = -1\n"
                                 "_ExtentX           = 10\n"
                                 "_ExtentY           = 20\n"));
  EXPECT_EQ(plugin.Picture(), "icon");
  plugin.End();
}

// A host may limit the size of the files its children write: a file that would pass the limit
// is left empty, and the plug-in goes on and replies.
TEST(HostileChannel, FilesOverTheHostsSizeLimitAreLeftEmpty) {
  REQUIRE_BUILT(kPluginHost);
  Inputs inputs;
  const std::string path =
      inputs.Write("icon.exe", hexstream::Parse("0A l:12 r:8:00 \"icon\" 2D z:16 l:10 l:20 FF"));
  // Room for the picture (4 bytes) and the listing (32), not for the block.
  Plugin plugin(kPluginHost, /*withoutRoot=*/false, /*fileSizeLimit=*/64);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(plugin.Ask(Request(path, "1", 'N')));
    EXPECT_EQ(plugin.Picture(), "icon");
    EXPECT_EQ(plugin.Listing(), "DragIcon: TEVOGRAPHICFILE1.TMP\r\n");
    EXPECT_EQ(plugin.Block(), "");
  }
  plugin.End();
}

// Hosts that talk to the plug-in other than by writing each request whole and reading each
// reply, each with a plug-in started with SIGPIPE at its default action: every request is
// answered in its files all the same, and the plug-in ends with status 0 at the end of its input.
TEST(HostileChannel, HostsThatWriteInPiecesOrStopReading) {
  REQUIRE_BUILT(kAgent);
  Inputs inputs;
  const std::string path = inputs.Write("two.exe", kTwoAgentStreams);
  const std::string first = Request(path, "1", 'N') + kEndMark;
  const std::string second = Request(path, "28", 'N') + kEndMark;
  struct ChannelCase {
    std::string name;
    bool piecewise;       // each byte in a write of its own, read by the plug-in on its own
    int readBeforeClose;  // replies read before the host closes its end, or -1 for never
  };
  const ChannelCase cases[] = {{"each byte a write of its own", true, -1},
                               {"the host stops reading before the first reply", false, 0},
                               {"the host stops reading after the first reply", false, 1}};
  for (const ChannelCase& c : cases) {
    SCOPED_TRACE(c.name);
    Plugin plugin(kAgent, false, 0, /*defaultSigpipe=*/true);
    PluginProcess& process = plugin.process();
    int read = 0;
    if (c.readBeforeClose == 0) process.CloseOutput();
    for (const std::string& request : {first, second}) {
      if (c.piecewise) {
        for (const char byte : request) {
          ASSERT_TRUE(process.Send(std::string(1, byte)));
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
      } else {
        ASSERT_TRUE(process.Send(request));
      }
      if (read != c.readBeforeClose) {
        ASSERT_TRUE(plugin.Replied());
        if (++read == c.readBeforeClose) process.CloseOutput();
      }
    }
    // Only the plug-in's end of the way back: the second request's files mean it went on.
    process.CloseInput();
    EXPECT_EQ(process.WaitExit(kReplyMs), 0);
    EXPECT_EQ(plugin.Listing(), "Tag: B\r\n");
    EXPECT_EQ(plugin.Block(), kAgentBlockB);
  }
}

TEST(HostileChannel, EndOfInputEndsTheProgram) {
  REQUIRE_BUILT(kAgent);
  Inputs inputs;
  const std::string path = inputs.Write("two.exe", kTwoAgentStreams);
  {
    Plugin plugin(kAgent);
    ASSERT_TRUE(plugin.Ask(Request(path, "1", 'N')));
    plugin.process().CloseInput();
    EXPECT_EQ(plugin.process().WaitExit(kReplyMs), 0);
    EXPECT_EQ(plugin.process().ReadRest(100), "");
  }
  {
    // A message cut short by the end of the channel is not answered.
    Plugin plugin(kAgent);
    ASSERT_TRUE(plugin.process().Send(Request(path, "1", 'N')));
    plugin.process().CloseInput();
    EXPECT_EQ(plugin.process().WaitExit(kReplyMs), 0);
    EXPECT_EQ(plugin.process().ReadRest(100), "");
    EXPECT_FALSE(fs::exists(plugin.home() / kListingName));
  }
}

}  // namespace
}  // namespace tvx::testing
