// mzk-recover used wrongly: every mistake gives one clear line on stderr
// and its documented exit status, and nothing is written.

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/cli/CliSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace

TEST(Misuse, EachMistakeHasItsLineAndStatusAndWritesNothing) {
  TempDir dir;
  const std::string image = dir.file("card.img"), out = dir.file("out");
  writeFile(image, std::string(64 * 1024, '\0'));
  writeFile(dir.file("plain"), "x");
  writeFile(dir.file("report.xml"), "keep");
  ASSERT_EQ(0, link(image.c_str(), dir.file("alias.img").c_str()));
  TempDir noPatterns, badPatterns;
  writeFile(badPatterns.file("FsScanner.cfg"), "");
  writeFile(badPatterns.file("Scanner.cfg"), "Type: jpeg\nPattern: \\xFF\\xD8\nAnalyze File Module: no-such-module\n");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string message;
  } cases[] = {
      {{}, 1, "no image file or device given"},
      {{"--frobnicate", image}, 1, "unknown option '--frobnicate'"},
      {{"-Z", image}, 1, "unknown option '-Z'"},
      {{image, "-o"}, 1, "needs a value"},
      {{"--min-size", "lots", image}, 1, ""},
      {{"--min-size", "99999999999999999999", image}, 1, ""},
      {{"--types", ",,", image}, 1, ""},
      {{"--simulate-bad", "12", "--list", image}, 1, ""},
      {{image, dir.file("second.img")}, 1, "more than one"},
      {{"--list", "--report", dir.file("r.xml"), image}, 1, ""},
      {{"-o", out, dir.file("no-such.img")}, 2, "cannot open " + dir.file("no-such.img") + ": No such file or directory"},
      {{"--list", dir.path()}, 2, "is a folder"},
      {{"-o", dir.file("plain/sub"), image}, 1, "cannot use output folder"},
      {{"-o", dir.file("plain"), image}, 1, "is not a folder"},
      {{"-o", "/proc/mzk-recover-test", image}, 1, ""},
      {{"-o", image, image}, 1, "refusing to write to " + image + ": " + image + " is the medium being recovered"},
      {{"-o", dir.file("alias.img"), image}, 1, "refusing to write to"},
      // A report that cannot be written stops the run before the folder is made.
      {{"-o", out, "--report", dir.file("report.xml"), image}, 1, "cannot create report"},
      {{"-o", out, "--report", image, image}, 1, "refusing to write the report to " + image},
      {{"--config-dir", noPatterns.path(), "--list", image}, 1,
       "cannot read pattern file " + noPatterns.path() + "/Scanner.cfg"},
      {{"--config-dir", badPatterns.path(), "-o", out, "--report", dir.file("r.xml"), image}, 1,
       "invalid pattern file " + badPatterns.path() + "/Scanner.cfg"},
  };
  for (const auto& c : cases) {
    std::string what = c.args.empty() ? "(none)" : c.args[0] + " ...";
    ToolResult r = runRecover(c.args);
    EXPECT_EQ(c.status, r.status) << what << ": " << r.err;
    EXPECT_EQ(0u, r.err.find("mzk-recover: ")) << what << ": " << r.err;
    EXPECT_NE(std::string::npos, r.err.find(c.message)) << what << ": " << r.err;
    EXPECT_EQ("", r.out) << what;
    EXPECT_FALSE(exists(out) || exists(dir.file("r.xml"))) << what << ": nothing is created";
  }
  EXPECT_EQ("x", readFile(dir.file("plain")));
  EXPECT_EQ("keep", readFile(dir.file("report.xml")));
  EXPECT_EQ(std::string(64 * 1024, '\0'), readFile(image));
}

TEST(Misuse, HelpDocumentsOptionsAndExitStatus) {
  ToolResult r = runRecover({"--help"});
  EXPECT_EQ(0, r.status);
  for (const char* part : {"SYNOPSIS", "mzk-recover [options] IMAGE-OR-DEVICE", "--list", "--types", "--min-size",
                           "--keep-names", "--report", "--config-dir", "EXIT STATUS", "    2 ", "    3 "})
    EXPECT_NE(std::string::npos, r.out.find(part)) << part;
}

TEST(Misuse, OutputUnderTheMountPointOfALoopMountedImageIsRefused) {
  if (getuid() != 0 || !haveTool("losetup") || !haveTool("mke2fs")) GTEST_SKIP() << "needs root and loop devices";
  TempDir dir;
  std::string card = dir.file("ext.img"), mnt = dir.file("mnt");
  ASSERT_TRUE(sh("truncate -s 8M " + quote(card) + " && mke2fs -q -F " + quote(card) + " && mkdir " + quote(mnt)));
  std::string loop = shOutput("losetup -f --show " + quote(card) + " 2>/dev/null");
  loop = loop.substr(0, loop.find('\n'));
  if (loop.compare(0, 9, "/dev/loop") != 0) GTEST_SKIP() << "no loop device";
  if (!sh("mount " + loop + " " + quote(mnt))) {
    sh("losetup -d " + loop);
    GTEST_SKIP() << "loop mounts are not allowed here";
  }
  ToolResult byImage = runRecover({"-o", mnt + "/recovered", card});
  ToolResult byDevice = runRecover({"-o", mnt + "/recovered", loop});
  bool created = exists(mnt + "/recovered");
  sh("umount " + quote(mnt) + "; losetup -d " + loop);
  EXPECT_EQ(1, byImage.status);
  EXPECT_NE(std::string::npos, byImage.err.find("of the medium being recovered")) << byImage.err;
  EXPECT_EQ(1, byDevice.status);
  EXPECT_NE(std::string::npos, byDevice.err.find("refusing to write")) << byDevice.err;
  EXPECT_FALSE(created);
}

TEST(Misuse, AMediumSmallerThanASectorHasNothingToFind) {
  TempDir dir;
  writeFile(dir.file("tiny.img"), std::string(300, '\xff'));
  ToolResult r = runRecover({"-o", dir.file("out"), dir.file("tiny.img")});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("recovered 0 of 0 files")) << r.err;
  EXPECT_TRUE(namesIn(dir.file("out")).empty());
}
