// Ctrl-C during a scan: the scan stops in order, what was found before is
// recovered, and the exit status says the run was stopped.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "tests/cli/CliSupport.h"
#include "tests/support/Tools.h"

TEST(StopTest, InterruptDuringTheScanRecoversWhatWasFound) {
  if (!haveTool("convert")) GTEST_SKIP() << "ImageMagick is needed";
  CliTempDir dir;
  std::string photo = dir.file("photo.jpg");
  ASSERT_TRUE(shell("convert rose: -resize 800x600! '" + photo + "'"));
  std::string bytes = readFile(photo);
  // The photo at sector 8, then a sparse 64 GiB of nothing: far more than
  // can be scanned before the signal comes.
  CardImage card;
  uint64_t offset = card.add("photo.jpg", bytes, 8);
  std::string image = dir.file("big.img");
  ASSERT_TRUE(card.write(image));
  ASSERT_TRUE(shell("truncate -s 64G '" + image + "'"));

  std::string out = dir.file("out");
  std::string report = dir.file("report.xml");
  pid_t pid = startRecover({"-o", out, "--report", report, image}, dir.path());
  ASSERT_GT(pid, 0);
  // Wait until the scan is under way (the handler is installed before the
  // first read of the medium), then ask it to stop.
  for (int i = 0; i < 3000 && bytesReadBy(pid) < (64u << 20); ++i) usleep(10000);
  kill(pid, SIGINT);
  ToolResult r = finishRecover(pid, dir.path());
  EXPECT_EQ(r.status, 130) << r.err;
  EXPECT_NE(r.err.find("scan stopped at "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("recovering the 1 files found so far"), std::string::npos) << r.err;
  std::string name = std::to_string(offset) + "-" + std::to_string(bytes.size()) + ".jpeg";
  EXPECT_EQ(namesIn(out), std::vector<std::string>{name});
  EXPECT_EQ(readFile(out + "/" + name), bytes);
  // The report of a stopped run is complete and names the file.
  std::string xml = readFile(report);
  EXPECT_NE(xml.find("<filename>" + name + "</filename>"), std::string::npos);
  EXPECT_EQ(xml.substr(xml.size() - 9), "</dfxml>\n");
  EXPECT_TRUE(mzktest::validatesAsDfxml(report));
}

TEST(StopTest, InterruptDuringAListStillListsWhatWasFound) {
  if (!haveTool("convert")) GTEST_SKIP() << "ImageMagick is needed";
  CliTempDir dir;
  std::string photo = dir.file("photo.jpg");
  ASSERT_TRUE(shell("convert logo: -resize 640x480! '" + photo + "'"));
  CardImage card;
  uint64_t offset = card.add("photo.jpg", readFile(photo), 3);
  std::string image = dir.file("big.img");
  ASSERT_TRUE(card.write(image));
  ASSERT_TRUE(shell("truncate -s 64G '" + image + "'"));
  pid_t pid = startRecover({"--list", "-o", dir.file("never"), image}, dir.path());
  for (int i = 0; i < 3000 && bytesReadBy(pid) < (64u << 20); ++i) usleep(10000);
  kill(pid, SIGTERM);
  ToolResult r = finishRecover(pid, dir.path());
  EXPECT_EQ(r.status, 130) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\t')), std::to_string(offset));
  EXPECT_NE(access(dir.file("never").c_str(), F_OK), 0);
}

TEST(StopTest, SecondInterruptAbortsTheRecovery) {
  // 20000 sectors that each start a file of one sector, then a long sparse
  // tail: the first signal stops the scan, the second comes while the
  // files found are being written.
  CliTempDir config;
  writeFile(config.file("Scanner.cfg"), "Type: blk\nPattern: MZK-TEST-BLOCK\nMax Size: 512\n");
  writeFile(config.file("FsScanner.cfg"), "");
  CliTempDir dir;
  std::string sector = "MZK-TEST-BLOCK" + std::string(512 - 14, 'x');
  std::string blocks;
  for (int i = 0; i < 20000; ++i) blocks += sector;
  std::string image = dir.file("blocks.img");
  writeFile(image, blocks);
  ASSERT_TRUE(shell("truncate -s 64G '" + image + "'"));
  std::string out = dir.file("out");
  pid_t pid = startRecover({"--config-dir", config.path(), "-o", out, image}, dir.path());
  ASSERT_GT(pid, 0);
  for (int i = 0; i < 3000 && bytesReadBy(pid) < (64u << 20); ++i) usleep(10000);
  kill(pid, SIGINT);
  // Two names: the first file is complete, the second may be cut short.
  for (int i = 0; i < 3000 && namesIn(out).size() < 2; ++i) usleep(5000);
  kill(pid, SIGINT);
  ToolResult r = finishRecover(pid, dir.path());
  EXPECT_EQ(r.status, 130) << r.err;
  EXPECT_NE(r.err.find("recovering the 20000 files found so far"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("recovery aborted"), std::string::npos) << r.err;
  size_t written = namesIn(out).size();
  EXPECT_GE(written, 1u);
  EXPECT_LT(written, 20000u);
  EXPECT_EQ(readFile(out + "/0-512.blk"), sector);
}
