// The native file system and channel off Windows: descriptors kept between requests must always
// stand for what the paths name now, only regular files are read or written, and a write that
// fails or accepts nothing fails the output (or gives up the reply) at once.
//
// The program is linked with --wrap=open,--wrap=pwrite,--wrap=write, so that a test can change a
// path just before the layer opens it, or have a write accept nothing, as a racing host or an odd
// file system or pipe would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <filesystem>
#include <functional>
#include <optional>

#include "hexstream.h"
#include "tvx/decoder.h"
#include "tvx/platform.h"

namespace {

std::function<void(const char*)> g_beforeOpen;  // runs once, just before the next open
std::optional<ssize_t> g_pwriteResult;          // what every pwrite returns instead, if set
int g_pwriteCalls = 0;
int g_writeNothingTo = -1;  // a descriptor whose every write accepts nothing, if set
int g_writeCalls = 0;       // the writes to it

}  // namespace

extern "C" {

int __real_open(const char* path, int flags, ...);
int __wrap_open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  if (g_beforeOpen) {
    const auto hook = std::move(g_beforeOpen);
    g_beforeOpen = nullptr;
    hook(path);
  }
  return __real_open(path, flags, mode);
}

ssize_t __real_pwrite(int fd, const void* bytes, size_t size, off_t at);
ssize_t __wrap_pwrite(int fd, const void* bytes, size_t size, off_t at) {
  ++g_pwriteCalls;
  if (!g_pwriteResult) return __real_pwrite(fd, bytes, size, at);
  // A caller that takes 0 for progress would ask for ever: after 1000 calls it gets an error.
  if (*g_pwriteResult < 0 || g_pwriteCalls > 1000) {
    errno = EIO;
    return -1;
  }
  return *g_pwriteResult;
}

ssize_t __real_write(int fd, const void* bytes, size_t size);
ssize_t __wrap_write(int fd, const void* bytes, size_t size) {
  if (fd != g_writeNothingTo) return __real_write(fd, bytes, size);
  // As for pwrite: a caller that takes 0 for progress gets an error after 1000 calls.
  if (++g_writeCalls > 1000) {
    errno = EIO;
    return -1;
  }
  return 0;
}

}  // extern "C"

namespace tvx {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  return hexstream::ReadFile(path.string());
}

void Put(const fs::path& path, const std::string& bytes) {
  hexstream::WriteFile(path.string(), bytes);
}

class NativeFiles : public ::testing::Test {
 protected:
  NativeFiles() {
    std::string pattern = (fs::temp_directory_path() / "tvx-files-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    files_ = MakeNativeFileSystem(dir_.string());
  }
  ~NativeFiles() override {
    g_beforeOpen = nullptr;
    g_pwriteResult.reset();
    fs::remove_all(dir_);
  }

  std::string Read(const fs::path& path, double start) {
    InputSource* input = files_->OpenInput(path.string());
    if (input == nullptr) return "<cannot open>";
    std::string bytes(64, '\0');
    bytes.resize(input->ReadAt(static_cast<std::uint64_t>(start - 1),
                               reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()));
    return bytes;
  }

  fs::path dir_;
  std::unique_ptr<FileSystem> files_;
};

TEST_F(NativeFiles, OutputIsExactlyTheLastRunsBytes) {
  const fs::path out = dir_ / "TEVOLIBFILE.TMP";
  ASSERT_TRUE(files_->WriteOutput("TEVOLIBFILE.TMP", "abcdef\r\n"));
  EXPECT_EQ(Slurp(out), "abcdef\r\n");
  ASSERT_TRUE(files_->WriteOutput("TEVOLIBFILE.TMP", "xy"));  // shorter: cut to length
  EXPECT_EQ(Slurp(out), "xy");
  ASSERT_TRUE(files_->WriteOutput("TEVOLIBFILE.TMP", "longer text"));
  EXPECT_EQ(Slurp(out), "longer text");
  ASSERT_TRUE(files_->WriteOutput("TEVOLIBFILE.TMP", ""));
  EXPECT_EQ(Slurp(out), "");
}

TEST_F(NativeFiles, OutputRemovedOrReplacedBetweenRunsIsWrittenWhereThePathPoints) {
  const fs::path out = dir_ / "TEVOLIBFILE2.TMP";
  ASSERT_TRUE(files_->WriteOutput("TEVOLIBFILE2.TMP", "first"));
  fs::remove(out);
  ASSERT_TRUE(files_->WriteOutput("TEVOLIBFILE2.TMP", "second"));
  EXPECT_EQ(Slurp(out), "second");

  // The host moved the file away and put another in its place: the moved one is left alone.
  fs::rename(out, dir_ / "kept.txt");
  Put(out, "someone else's longer contents");
  ASSERT_TRUE(files_->WriteOutput("TEVOLIBFILE2.TMP", "third"));
  EXPECT_EQ(Slurp(out), "third");
  EXPECT_EQ(Slurp(dir_ / "kept.txt"), "second");
}

TEST_F(NativeFiles, OutputDirectoryRemovedAndMadeAnewIsWrittenAgain) {
  ASSERT_TRUE(files_->WriteOutput("TEVOLIBFILE.TMP", "before"));
  ASSERT_TRUE(files_->WriteOutput("TEVOLIBFILE2.TMP", "block"));
  // The program directory is removed and made anew at the same path (a reinstall, say).
  fs::remove_all(dir_);
  fs::create_directory(dir_);
  ASSERT_TRUE(files_->WriteOutput("TEVOLIBFILE.TMP", "after"));
  ASSERT_TRUE(files_->WriteOutput("TEVOLIBFILE2.TMP", "block 2"));
  EXPECT_EQ(Slurp(dir_ / "TEVOLIBFILE.TMP"), "after");
  EXPECT_EQ(Slurp(dir_ / "TEVOLIBFILE2.TMP"), "block 2");
  // Gone for good: the write fails and creates nothing anywhere.
  fs::remove_all(dir_);
  EXPECT_FALSE(files_->WriteOutput("TEVOLIBFILE.TMP", "lost"));
  EXPECT_FALSE(fs::exists(dir_));
  fs::create_directory(dir_);  // for the fixture to remove
}

TEST_F(NativeFiles, OutputNeverFollowsALink) {
  const fs::path out = dir_ / "TEVOGRAPHICFILE1.TMP";
  ASSERT_TRUE(files_->WriteOutput("TEVOGRAPHICFILE1.TMP", "one"));
  Put(dir_ / "elsewhere.bin", "untouched");
  fs::remove(out);
  fs::create_symlink(dir_ / "elsewhere.bin", out);
  ASSERT_TRUE(files_->WriteOutput("TEVOGRAPHICFILE1.TMP", "two"));
  EXPECT_FALSE(fs::is_symlink(out));
  EXPECT_EQ(Slurp(out), "two");
  EXPECT_EQ(Slurp(dir_ / "elsewhere.bin"), "untouched");
}

TEST_F(NativeFiles, InputIsReadAfreshEveryRun) {
  const fs::path in = dir_ / "program.exe";
  Put(in, "0123456789");
  EXPECT_EQ(Read(in, 4), "3456789");
  Put(in, "abcdefghij");  // rewritten in place, same size
  EXPECT_EQ(Read(in, 4), "defghij");
  fs::remove(in);
  EXPECT_EQ(Read(in, 1), "<cannot open>");
  EXPECT_FALSE(fs::exists(in));
  Put(dir_ / "new.exe", "XYZ");
  fs::rename(dir_ / "new.exe", in);  // replaced by another file
  EXPECT_EQ(Read(in, 1), "XYZ");
  EXPECT_EQ(Read(in, 4), "");  // starts just past the end
  EXPECT_EQ(Read(in, 1e15), "");
}

// Every kind of thing a path may name, as it is when first asked for, and as it is after the
// path named a regular file that was read (the held descriptor must not be used for it), and
// as it is when it takes the place of the regular file between the look-up and the open. Only
// a regular file, or a link to one, is read; nothing else is opened for reading, waited on or
// read through an earlier descriptor.
TEST_F(NativeFiles, OnlyRegularFilesAreInputs) {
  Put(dir_ / "program.exe", "0123456789");
  const auto make = [&](const fs::path& path, const std::string& kind) {
    if (kind == "regular file") {
      Put(path, "abcdefghij");
    } else if (kind == "link to a regular file") {
      Put(dir_ / "target.exe", "abcdefghij");
      fs::create_symlink(dir_ / "target.exe", path);
    } else if (kind == "directory") {
      fs::create_directory(path);
    } else if (kind == "link to a directory") {
      fs::create_directory_symlink(dir_, path);
    } else if (kind == "FIFO") {
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);  // a read would wait for a writer
    } else if (kind == "socket") {
      const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      ASSERT_LT(path.string().size(), sizeof address.sun_path);
      path.string().copy(address.sun_path, sizeof address.sun_path - 1);
      ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
      close(fd);
    } else if (kind == "dangling link") {
      fs::create_symlink(dir_ / "nowhere", path);
    } else {
      ASSERT_EQ(kind, "nothing");
    }
  };
  struct Kind {
    std::string name;
    std::string read;  // from position 4
  };
  const Kind kinds[] = {
      {"regular file", "defghij"},        {"link to a regular file", "defghij"},
      {"directory", "<cannot open>"},     {"link to a directory", "<cannot open>"},
      {"FIFO", "<cannot open>"},          {"socket", "<cannot open>"},
      {"dangling link", "<cannot open>"}, {"nothing", "<cannot open>"}};
  int n = 0;
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    const fs::path fresh = dir_ / ("fresh" + std::to_string(++n));
    make(fresh, kind.name);
    EXPECT_EQ(Read(fresh, 4), kind.read);

    // The same path named a regular file that was read, then this.
    const fs::path replaced = dir_ / ("replaced" + std::to_string(n));
    Put(replaced, "0123456789");
    EXPECT_EQ(Read(replaced, 4), "3456789");
    fs::remove(replaced);
    make(replaced, kind.name);
    EXPECT_EQ(Read(replaced, 4), kind.read);

    // A regular file when looked up, this when opened.
    const fs::path raced = dir_ / ("raced" + std::to_string(n));
    Put(raced, "0123456789");
    g_beforeOpen = [&](const char* path) {
      if (path == raced.string()) {
        fs::remove(raced);
        make(raced, kind.name);
      }
    };
    EXPECT_EQ(Read(raced, 4), kind.name == "nothing" ? "<cannot open>" : kind.read);
  }
  EXPECT_EQ(Read("/dev/zero", 1), "<cannot open>");
  EXPECT_EQ(Read("/dev/null", 1), "<cannot open>");
  EXPECT_EQ(Read(dir_ / "program.exe/x", 1), "<cannot open>");  // through a file
  EXPECT_EQ(Read("", 1), "<cannot open>");
  EXPECT_EQ(Read(std::string("a\0b", 3), 1), "<cannot open>");
}

// An output name that something other than a regular file holds, and that opens for writing (a
// FIFO with a reader at its other end; as root, a device node that takes every write), is
// neither written nor removed: the write fails, and the thing stays as it was.
TEST_F(NativeFiles, OutputThatIsNotARegularFileIsNeverWritten) {
  const fs::path fifo = dir_ / "TEVOLIBFILE.TMP";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_FALSE(files_->WriteOutput("TEVOLIBFILE.TMP", "listing\r\n"));
  char byte = 0;
  EXPECT_LE(read(reader, &byte, 1), 0) << "the FIFO was written";
  close(reader);
  EXPECT_TRUE(fs::is_fifo(fifo));

  const fs::path device = dir_ / "TEVOLIBFILE2.TMP";  // what /dev/null is
  if (geteuid() == 0 && mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    EXPECT_FALSE(files_->WriteOutput("TEVOLIBFILE2.TMP", "block\r\n"));
    EXPECT_TRUE(fs::is_character_file(device));
  }
}

// A write that the file system refuses, or that accepts nothing (which POSIX allows), fails the
// output at once, without asking again and again, and leaves no bytes of this run or the last.
TEST_F(NativeFiles, WriteThatFailsOrAcceptsNothingFailsTheOutput) {
  const fs::path out = dir_ / "TEVOLIBFILE2.TMP";
  for (const ssize_t result : {ssize_t{-1}, ssize_t{0}}) {
    SCOPED_TRACE(result);
    ASSERT_TRUE(files_->WriteOutput("TEVOLIBFILE2.TMP", "the last run's block\r\n"));
    g_pwriteResult = result;
    g_pwriteCalls = 0;
    EXPECT_FALSE(files_->WriteOutput("TEVOLIBFILE2.TMP", "this run's block\r\n"));
    EXPECT_EQ(g_pwriteCalls, 1);
    g_pwriteResult.reset();
    EXPECT_EQ(fs::exists(out) ? Slurp(out) : "", "");
  }
}

// A decoder that reads nothing: the channel's test needs a request answered, not decoded.
class NothingDecoder final : public Decoder {
 public:
  const DeliverableInfo& Info() const override { return kInfo; }
  void Reset() override {}
  DecodeEnd ReadStream(DecodeContext&) override { return DecodeEnd::kEndCode; }
  void WriteBlock(BlockWriter&) const override {}

 private:
  static constexpr DeliverableInfo kInfo = {"NOTHING.Test", "Nothing", "Nothing", 18, ""};
};

// A reply that standard output accepts none of (POSIX lets a write return 0) is given up, as
// when the host has gone, not written again and again: the plug-in reads on and ends at ^END.
TEST(NativeChannel, AReplyWriteThatAcceptsNothingIsNotWrittenAgain) {
  int request[2];
  ASSERT_EQ(pipe(request), 0);
  const std::string messages = "%missing.exe#1@N\xFF^END\xFF";
  ASSERT_EQ(__real_write(request[1], messages.data(), messages.size()),
            static_cast<ssize_t>(messages.size()));
  close(request[1]);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {  // the plug-in's side: its status is the count of reply writes
    dup2(request[0], STDIN_FILENO);
    g_writeNothingTo = STDOUT_FILENO;
    NothingDecoder decoder;
    const int status = RunPlugin(decoder);
    _exit(status == 0 ? std::min(g_writeCalls, 100) : 101);
  }
  close(request[0]);
  int raw = 0;
  ASSERT_EQ(waitpid(child, &raw, 0), child);
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 1);  // one write of the one reply
  for (const char* name : {"TEVOLIBFILE.TMP", "TEVOLIBFILE2.TMP"})
    fs::remove(fs::path(ProgramDirectory()) / name);
}

}  // namespace
}  // namespace tvx
