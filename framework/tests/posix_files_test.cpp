// The native file system off Windows: descriptors kept between requests must always stand for
// what the paths name now.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "hexstream.h"
#include "tvx/platform.h"

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
  ~NativeFiles() override { fs::remove_all(dir_); }

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

TEST_F(NativeFiles, OnlyRegularFilesAreInputs) {
  EXPECT_EQ(Read(dir_, 1), "<cannot open>");
  const fs::path fifo = dir_ / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(Read(fifo, 1), "<cannot open>");  // and does not wait for a writer
  EXPECT_EQ(Read("/dev/zero", 1), "<cannot open>");
  EXPECT_EQ(Read(std::string("a\0b", 3), 1), "<cannot open>");
}

}  // namespace
}  // namespace tvx
