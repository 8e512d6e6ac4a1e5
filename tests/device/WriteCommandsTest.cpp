// Partitioning and formatting on loop devices (erase and restore are
// tested through the selection window), and the format tools' argument
// vectors, output and cancel.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "device/DeviceClaim.h"
#include "device/FormatTools.h"
#include "device/LoopWindow.h"
#include "device/Partitioner.h"
#include "shell/InterfaceCallback.h"
#include "tests/support/LoopDevice.h"
#include "tests/support/TempDir.h"

using mzktest::shell;

namespace {

std::string readImage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Stops the work at its second check, as the cancel button does.
class CancelAtSecondCheck : public InterfaceCallback {
 public:
  void check() override {
    if (++checks == 2) throw InterruptedException();
  }
  int checks = 0;
};

}  // namespace

TEST(WriteCommands, PartitionAndFormatGiveAVolumeThatFsckAccepts) {
  if (FormatTools::system().toolFor("FAT32").empty()) GTEST_SKIP() << "mkfs.vfat is not installed";
  mzktest::TempDir dir;
  ASSERT_TRUE(shell("truncate -s 48M " + dir.file("card.img")));
  mzktest::LoopDevice loop(dir.file("card.img"));
  MZK_SKIP_WITHOUT_LOOP(loop);
  PartitionPlace place;
  {
    DeviceClaim claim;
    ASSERT_EQ(claim.claim(loop.node(), nullptr), DeviceClaim::Claimed);
    std::string error;
    ASSERT_TRUE(createSinglePartition(claim.device().fd(), loop.node(), kPartitionFat32, place, &error)) << error;
  }
  EXPECT_EQ(place.start, 1u << 20);
  EXPECT_EQ(place.start + place.size, 48u << 20);
  std::string target = partitionNode(loop.node(), place.start, 1000);
  LoopWindow window;
  if (target.empty()) {
    ASSERT_TRUE(window.attach(loop.node(), place.start, place.size, nullptr));
    target = window.node();
  }
  FormatRequest request{target, "FAT32", "PHOTOS", place.start / 512};
  std::string output;
  ASSERT_TRUE(FormatTools::system().run(request, nullptr, &output)) << output;
  window.detach();
  const std::string disk = readImage(dir.file("card.img"));
  EXPECT_EQ(static_cast<unsigned char>(disk[0x1C2]), kPartitionFat32);
  EXPECT_EQ(disk.substr(place.start + 0x47, 11), "PHOTOS     ");
  dir.write("volume.img", disk.substr(place.start));
  EXPECT_TRUE(shell("fsck.vfat -n " + dir.file("volume.img")));
  // A photo copied onto the new volume is found by a scan of the device.
  if (!shell("convert rose: -resize 400x300! " + dir.file("photo.jpg"))) return;
  ASSERT_TRUE(shell("MTOOLS_SKIP_CHECK=1 mcopy -i " + loop.node() + "@@1M " + dir.file("photo.jpg") + " ::PHOTO.JPG"));
  const std::string row = mzktest::shellLine(std::string(MZK_APP_DIR) + "/mzk-recover --list " + loop.node() +
                                             " | grep PHOTO.JPG");
  EXPECT_NE(row.find("\tjpeg\t"), std::string::npos) << row;
}

TEST(WriteCommands, NtfsFormatsAWholeDevice) {
  if (FormatTools::system().toolFor("NTFS").empty()) GTEST_SKIP() << "mkfs.ntfs is not installed";
  mzktest::TempDir dir;
  ASSERT_TRUE(shell("truncate -s 16M " + dir.file("card.img")));
  mzktest::LoopDevice loop(dir.file("card.img"));
  MZK_SKIP_WITHOUT_LOOP(loop);
  std::string output;
  ASSERT_TRUE(FormatTools::system().run({loop.node(), "NTFS", "Urlaub", 0}, nullptr, &output)) << output;
  EXPECT_EQ(readImage(dir.file("card.img")).substr(3, 8), "NTFS    ");
}

TEST(FormatTools, ArgumentVectorsFollowTheFileSystem) {
  mzktest::TempDir bin;
  bin.write("mkfs.fat", "");
  bin.write("mkfs.ntfs", "");
  ASSERT_EQ(chmod(bin.file("mkfs.fat").c_str(), 0755) | chmod(bin.file("mkfs.ntfs").c_str(), 0755), 0);
  FormatTools tools("/nonexistent:" + bin.path());
  const std::string fat = bin.file("mkfs.fat"), ntfs = bin.file("mkfs.ntfs");
  const struct {
    FormatRequest request;
    std::vector<std::string> argv;
  } cases[] = {
      {{"/dev/sdx", "FAT", "MEDIA", 0}, {fat, "-I", "-F", "16", "-n", "MEDIA", "/dev/sdx"}},
      {{"/dev/sdx1", "FAT32", "", 2048}, {fat, "-I", "-F", "32", "-h", "2048", "/dev/sdx1"}},
      {{"/dev/sdx", "NTFS", "Urlaub 2024", 0}, {ntfs, "-F", "-L", "Urlaub 2024", "/dev/sdx"}},
      {{"/dev/sdx", "exFAT", "X", 0}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(tools.arguments(c.request), c.argv) << c.request.fileSystem;
  EXPECT_TRUE(FormatTools(bin.path() + "/none").arguments(cases[0].request).empty());
  EXPECT_EQ(FormatTools::labelLimit("FAT32"), 11u);
  EXPECT_EQ(FormatTools::labelLimit("NTFS"), 16u);
}

TEST(FormatTools, OutputIsKeptPercentagesReadAndCancelEndsTheTool) {
  const struct {
    const char* text;
    int percent;
  } cases[] = {{"Initializing device with zeroes:  45%", 45}, {"\r 12 percent completed\r 13 percent", 13},
               {"mkfs.fat 4.2 (2021-01-31)", -1}, {"100%", 100}, {"1234%", -1}, {"3.5%", 3}};
  for (const auto& c : cases) EXPECT_EQ(lastPercentage(c.text), c.percent) << c.text;

  std::string output;
  EXPECT_EQ(runTool({"/bin/sh", "-c", "echo first; echo second >&2; exit 3"}, nullptr, &output), 3);
  EXPECT_EQ(output, "first\nsecond\n");
  EXPECT_EQ(runTool({"/nonexistent/mkfs.vfat"}, nullptr, &output), -1);

  CancelAtSecondCheck cancel;
  EXPECT_THROW(runTool({"/bin/sleep", "30"}, &cancel, nullptr), InterruptedException);
}
