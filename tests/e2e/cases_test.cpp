// Every case of every deliverable, through the built program and its exchange channel, the
// files compared byte for byte. All cases of a deliverable run in one process, so each case's
// expected files also prove that a run never depends on the runs before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cases.h"
#include "hexstream.h"
#include "plugin_process.h"

namespace tvx::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadOrMissing(const std::string& path) {
  if (!fs::exists(path)) return "<missing>";
  return hexstream::ReadFile(path);
}

class DeliverableCases : public ::testing::TestWithParam<std::string> {};

TEST_P(DeliverableCases, FilesMatchByteForByte) {
  const std::string deliverable = GetParam();
  if (PluginPath(deliverable).empty()) GTEST_SKIP() << deliverable << " is not built";
  const std::vector<Case> cases = LoadCases(deliverable);
  ASSERT_FALSE(cases.empty()) << "no cases for " << deliverable;

  TempDir home;    // the plug-in's own directory: a copy of the program
  TempDir inputs;  // the program files named in the requests
  const std::string program = CopyPlugin(deliverable, home.path());
  PluginProcess plugin(program);  // its working directory is "/", not its own

  for (const Case& c : cases) {
    SCOPED_TRACE(deliverable + "/" + c.name);
    const std::string input = inputs / (c.name + ".exe");
    hexstream::WriteFile(input, c.stream);
    const std::map<std::string, std::string> values = {{"input", input},
                                                       {"missing", inputs / "no-such-program.exe"}};
    fs::remove(home / "TEVOGRAPHICFILE1.TMP");

    ASSERT_TRUE(plugin.Send(Substitute(c.request, values) + kEndMark));
    ASSERT_EQ(plugin.ReadReply(), kReply);
    EXPECT_EQ(ReadOrMissing(home / "TEVOLIBFILE.TMP"), Substitute(c.listing, values));
    EXPECT_EQ(ReadOrMissing(home / "TEVOLIBFILE2.TMP"), Substitute(c.block, values));
    if (c.picture) {
      EXPECT_EQ(ReadOrMissing(home / "TEVOGRAPHICFILE1.TMP"), *c.picture);
    } else {
      EXPECT_FALSE(fs::exists(home / "TEVOGRAPHICFILE1.TMP")) << "a picture was written";
    }
    EXPECT_FALSE(fs::exists(inputs / "no-such-program.exe"));
  }
  ASSERT_TRUE(plugin.Send(std::string("^END") + kEndMark));
  EXPECT_EQ(plugin.WaitExit(5000), 0);
  EXPECT_EQ(plugin.ReadRest(100), "");  // nothing but the replies on standard output
}

// Every deliverable has its cases, and every case folder is a deliverable's.
TEST(DeliverableCases, OneFolderPerDeliverable) {
  std::vector<std::string> names = Deliverables();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(CaseDeliverables(), names);
}

INSTANTIATE_TEST_SUITE_P(All, DeliverableCases, ::testing::ValuesIn(Deliverables()),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '.', '_');
                           return name;
                         });

}  // namespace
}  // namespace tvx::testing
