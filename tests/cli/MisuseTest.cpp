// mzk-recover used wrongly: every mistake gives one clear line on stderr
// and its documented exit status, and nothing is written.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/cli/CliSupport.h"

namespace {

bool startsWithProgram(const std::string& err) { return err.compare(0, 13, "mzk-recover: ") == 0; }

// A small image with nothing on it.
class MisuseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    image = dir.file("card.img");
    writeFile(image, std::string(64 * 1024, '\0'));
  }
  CliTempDir dir;
  std::string image;
};

}  // namespace

TEST_F(MisuseTest, NoArgumentsIsBadUsage) {
  ToolResult r = runRecover({});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(startsWithProgram(r.err)) << r.err;
  EXPECT_NE(r.err.find("no image file or device given"), std::string::npos);
  EXPECT_NE(r.err.find("--help"), std::string::npos);
  EXPECT_TRUE(r.out.empty());
}

TEST_F(MisuseTest, UnknownOptionIsBadUsage) {
  ToolResult r = runRecover({"--frobnicate", image});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("unknown option '--frobnicate'"), std::string::npos) << r.err;
  r = runRecover({"-Z", image});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("unknown option '-Z'"), std::string::npos) << r.err;
}

TEST_F(MisuseTest, OptionWithoutItsValueIsBadUsage) {
  ToolResult r = runRecover({image, "-o"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("needs a value"), std::string::npos) << r.err;
}

TEST_F(MisuseTest, BadValuesAreBadUsage) {
  EXPECT_EQ(runRecover({"--min-size", "lots", image}).status, 1);
  EXPECT_EQ(runRecover({"--min-size", "99999999999999999999", image}).status, 1);
  EXPECT_EQ(runRecover({"--types", ",,", image}).status, 1);
  EXPECT_EQ(runRecover({"--simulate-bad", "12", "--list", image}).status, 1);
  ToolResult r = runRecover({image, dir.file("second.img")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("more than one"), std::string::npos);
  r = runRecover({"--list", "--report", dir.file("r.xml"), image});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(access(dir.file("r.xml").c_str(), F_OK) == 0);
}

TEST_F(MisuseTest, HelpDocumentsOptionsAndExitStatus) {
  ToolResult r = runRecover({"--help"});
  EXPECT_EQ(r.status, 0);
  for (const char* part : {"SYNOPSIS", "mzk-recover [options] IMAGE-OR-DEVICE", "--list", "--types", "--min-size",
                           "--keep-names", "--report", "--config-dir", "EXIT STATUS", "    2 ", "    3 "})
    EXPECT_NE(r.out.find(part), std::string::npos) << part;
}

TEST_F(MisuseTest, MissingInputCannotBeOpened) {
  ToolResult r = runRecover({"-o", dir.file("out"), dir.file("no-such.img")});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(startsWithProgram(r.err));
  EXPECT_NE(r.err.find("cannot open " + dir.file("no-such.img") + ": No such file or directory"), std::string::npos)
      << r.err;
  EXPECT_NE(access(dir.file("out").c_str(), F_OK), 0) << "nothing is created for a missing input";
}

TEST_F(MisuseTest, FolderAsInputCannotBeOpened) {
  ToolResult r = runRecover({"--list", dir.path()});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("is a folder"), std::string::npos) << r.err;
}

TEST_F(MisuseTest, OutputBelowARegularFileIsNotWritable) {
  writeFile(dir.file("plain"), "x");
  ToolResult r = runRecover({"-o", dir.file("plain/sub"), image});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot use output folder"), std::string::npos) << r.err;
  r = runRecover({"-o", dir.file("plain"), image});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("is not a folder"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(dir.file("plain")), "x");
}

TEST_F(MisuseTest, OutputInAReadOnlyPlaceIsNotWritable) {
  ToolResult r = runRecover({"-o", "/proc/mzk-recover-test", image});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(startsWithProgram(r.err)) << r.err;
}

TEST_F(MisuseTest, OutputThatIsTheMediumIsRefused) {
  std::string before = readFile(image);
  ToolResult r = runRecover({"-o", image, image});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("refusing to write to " + image), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("is the medium"), std::string::npos) << r.err;
  // The same inode under another name.
  ASSERT_EQ(link(image.c_str(), dir.file("alias.img").c_str()), 0);
  r = runRecover({"-o", dir.file("alias.img"), image});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(readFile(image), before);
}

TEST_F(MisuseTest, ReportThatExistsIsNotReplaced) {
  writeFile(dir.file("report.xml"), "keep");
  ToolResult r = runRecover({"-o", dir.file("out"), "--report", dir.file("report.xml"), image});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot create report"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(dir.file("report.xml")), "keep");
  r = runRecover({"-o", dir.file("out2"), "--report", image, image});
  EXPECT_EQ(r.status, 1);
}

TEST_F(MisuseTest, MissingPatternFileIsAnEnvironmentError) {
  CliTempDir config;
  ToolResult r = runRecover({"--config-dir", config.path(), "--list", image});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot read pattern file " + config.path() + "/Scanner.cfg"), std::string::npos) << r.err;
}

TEST_F(MisuseTest, InvalidPatternFileIsAnEnvironmentError) {
  CliTempDir config;
  writeFile(config.file("FsScanner.cfg"), "");
  writeFile(config.file("Scanner.cfg"), "Type: jpeg\nPattern: \\xFF\\xD8\nAnalyze File Module: no-such-module\n");
  ToolResult r = runRecover({"--config-dir", config.path(), "--list", image});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("invalid pattern file " + config.path() + "/Scanner.cfg"), std::string::npos) << r.err;
  // Found before anything is written.
  r = runRecover({"--config-dir", config.path(), "-o", dir.file("out"), "--report", dir.file("r.xml"), image});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(access(dir.file("out").c_str(), F_OK), 0);
  EXPECT_NE(access(dir.file("r.xml").c_str(), F_OK), 0);
}

TEST_F(MisuseTest, OutputUnderTheMountPointOfALoopMountedImageIsRefused) {
  if (getuid() != 0 || !haveTool("losetup") || !haveTool("mke2fs")) GTEST_SKIP() << "needs root and loop devices";
  std::string card = dir.file("ext.img");
  std::string mnt = dir.file("mnt");
  ASSERT_TRUE(shell("truncate -s 8M '" + card + "' && mke2fs -q -F '" + card + "' && mkdir '" + mnt + "'"));
  std::string loop = shellOutput("losetup -f --show '" + card + "' 2>/dev/null");
  while (!loop.empty() && loop.back() == '\n') loop.pop_back();
  if (loop.compare(0, 9, "/dev/loop") != 0) GTEST_SKIP() << "no loop device";
  if (!shell("mount '" + loop + "' '" + mnt + "'")) {
    shell("losetup -d '" + loop + "'");
    GTEST_SKIP() << "loop mounts are not allowed here";
  }
  ToolResult byImage = runRecover({"-o", mnt + "/recovered", card});
  ToolResult byDevice = runRecover({"-o", mnt + "/recovered", loop});
  bool created = access((mnt + "/recovered").c_str(), F_OK) == 0;
  shell("umount '" + mnt + "'");
  shell("losetup -d '" + loop + "'");
  EXPECT_EQ(byImage.status, 1);
  EXPECT_NE(byImage.err.find("of the medium being recovered"), std::string::npos) << byImage.err;
  EXPECT_EQ(byDevice.status, 1);
  EXPECT_NE(byDevice.err.find("refusing to write"), std::string::npos) << byDevice.err;
  EXPECT_FALSE(created);
}

TEST_F(MisuseTest, MediumSmallerThanASectorHasNothingToFind) {
  writeFile(dir.file("tiny.img"), std::string(300, '\xff'));
  ToolResult r = runRecover({"-o", dir.file("out"), dir.file("tiny.img")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("recovered 0 of 0 files"), std::string::npos) << r.err;
  EXPECT_TRUE(namesIn(dir.file("out")).empty());
}
