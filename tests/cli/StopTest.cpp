// Ctrl-C during a run: the scan stops in order, what was found before is
// listed or recovered, a second signal aborts the recovery, and the exit
// status says the run was stopped.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "tests/cli/CliSupport.h"
#include "tests/support/CarveImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

// A photo at a sector boundary, then a sparse 64 GiB of nothing: far more
// than can be scanned before the signal comes.
std::string photoCard(const TempDir& dir, uint64_t& offset, std::string& photo) {
  if (!sh("convert rose: -resize 800x600! " + quote(dir.file("photo.jpg")))) return "";
  photo = readFile(dir.file("photo.jpg"));
  CarveImage card;
  offset = card.add("photo.jpg", photo, 8);
  writeFile(dir.file("big.img"), card.bytes());
  return sh("truncate -s 64G " + quote(dir.file("big.img"))) ? dir.file("big.img") : "";
}

// Starts mzk-recover, waits until the scan is under way (the handler is
// installed before the first read of the medium) and sends `signal`.
pid_t startAndSignal(const std::vector<std::string>& args, const TempDir& dir, int signal) {
  pid_t pid = startRecover(args, dir.path());
  waitUntilRead(pid, 64u << 20);
  kill(pid, signal);
  return pid;
}

}  // namespace

TEST(Stop, AnInterruptedScanRecoversAndReportsWhatWasFound) {
  TempDir dir;
  uint64_t offset = 0;
  std::string photo, image = photoCard(dir, offset, photo);
  ASSERT_FALSE(image.empty()) << "ImageMagick is needed";
  std::string out = dir.file("out"), report = dir.file("report.xml");
  ToolResult r = finishRecover(startAndSignal({"-o", out, "--report", report, image}, dir, SIGINT), dir.path());
  EXPECT_EQ(130, r.status) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("scan stopped at ")) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("recovering the 1 files found so far")) << r.err;
  std::string name = std::to_string(offset) + "-" + std::to_string(photo.size()) + ".jpeg";
  EXPECT_EQ(std::vector<std::string>{name}, namesIn(out));
  EXPECT_TRUE(readFile(out + "/" + name) == photo);
  EXPECT_NE(std::string::npos, readFile(report).find("<filename>" + name + "</filename>"));
  EXPECT_TRUE(validatesAsDfxml(report)) << "a stopped run leaves a whole report";

  ToolResult list = finishRecover(startAndSignal({"--list", "-o", dir.file("never"), image}, dir, SIGTERM), dir.path());
  EXPECT_EQ(130, list.status) << list.err;
  EXPECT_EQ(std::to_string(offset), list.out.substr(0, list.out.find('\t')));
  EXPECT_TRUE(namesIn(dir.file("never")).empty());
}

TEST(Stop, ASecondInterruptAbortsTheRecovery) {
  // 20000 sectors that each start a file of one sector, then a long sparse
  // tail: the first signal stops the scan, the second comes while the files
  // found are being recovered.
  TempDir config, dir;
  writeFile(config.file("Scanner.cfg"), "Type: blk\nPattern: MZK-TEST-BLOCK\nMax Size: 512\n");
  writeFile(config.file("FsScanner.cfg"), "");
  std::string sector = "MZK-TEST-BLOCK" + std::string(512 - 14, 'x'), blocks;
  for (int i = 0; i < 20000; ++i) blocks += sector;
  writeFile(dir.file("blocks.img"), blocks);
  ASSERT_TRUE(sh("truncate -s 64G " + quote(dir.file("blocks.img"))));
  std::string out = dir.file("out");
  pid_t pid = startAndSignal({"--config-dir", config.path(), "-o", out, dir.file("blocks.img")}, dir, SIGINT);
  // The files found lie behind the scan, so they are written while it runs;
  // the recovery after the stop gives them their names.  The second signal
  // comes once the first has its name.
  for (int i = 0; i < 30000 && access((out + "/0-512.blk").c_str(), F_OK) != 0; ++i) usleep(1000);
  kill(pid, SIGINT);
  ToolResult r = finishRecover(pid, dir.path());
  EXPECT_EQ(130, r.status) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("recovering the 20000 files found so far")) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("recovery aborted")) << r.err;
  EXPECT_GE(namesIn(out).size(), 1u);
  EXPECT_LT(namesIn(out).size(), 20000u);
  EXPECT_EQ(sector, readFile(out + "/0-512.blk"));
}
