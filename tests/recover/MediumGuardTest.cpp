// The guard that keeps recovered files off the medium: mount table,
// sysfs walk, and real loop-mounted images.

#include "recover/MediumGuard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>

#include "tests/recover/RecoverFixtures.h"

namespace {

bool sh(const std::string& command) {
  int rc = system((command + " >/dev/null 2>&1").c_str());
  return rc != -1 && WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

std::string shOut(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return std::string();
  char buffer[256] = {0};
  std::string out;
  while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
  pclose(pipe);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

void mkdirs(const std::string& path) { sh("mkdir -p '" + path + "'"); }

// An ext2 image attached to a loop device and mounted; everything is
// undone by the destructor.  ok() is false where loop mounts are not allowed.
class MountedImage {
 public:
  explicit MountedImage(const RecoverTempDir& dir) : image_(dir.file("card.img")), mountPoint_(dir.file("mnt")) {
    if (!sh("truncate -s 8M '" + image_ + "' && mke2fs -q -F '" + image_ + "'")) return;
    loop_ = shOut("losetup -f --show '" + image_ + "' 2>/dev/null");
    if (loop_.compare(0, 9, "/dev/loop") != 0) {
      loop_.clear();
      return;
    }
    mkdirs(mountPoint_);
    mounted_ = sh("mount '" + loop_ + "' '" + mountPoint_ + "'");
  }
  ~MountedImage() {
    if (mounted_) sh("umount '" + mountPoint_ + "'");
    if (!loop_.empty()) sh("losetup -d '" + loop_ + "'");
  }
  bool ok() const { return mounted_; }
  const std::string& image() const { return image_; }
  const std::string& loop() const { return loop_; }
  const std::string& mountPoint() const { return mountPoint_; }

 private:
  std::string image_, mountPoint_, loop_;
  bool mounted_ = false;
};

}  // namespace

TEST(MountInfo, FieldsAndEscapesAreDecoded) {
  std::string text =
      "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
      "45 22 179:2 / /media/user/Fotos\\040&\\040Videos rw - vfat /dev/mmcblk0p2 rw\n"
      "garbage\n"
      "46 22 x:y / /broken rw - ext4 /dev/x rw\n"
      "47 22 7:0 / relative rw - ext4 /dev/loop0 rw\n";
  auto entries = parseMountInfo(text);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].device, makedev(8, 1));
  EXPECT_EQ(entries[0].mountPoint, "/");
  EXPECT_EQ(entries[1].device, makedev(179, 2));
  EXPECT_EQ(entries[1].mountPoint, "/media/user/Fotos & Videos");
}

TEST(MountInfo, PathUnderComparesWholeComponents) {
  EXPECT_TRUE(pathIsUnder("/media/card", "/media/card"));
  EXPECT_TRUE(pathIsUnder("/media/card/DCIM", "/media/card"));
  EXPECT_FALSE(pathIsUnder("/media/card2", "/media/card"));
  EXPECT_FALSE(pathIsUnder("/media", "/media/card"));
  EXPECT_TRUE(pathIsUnder("/anything", "/"));
}

TEST(MediumDevices, BlockDeviceBringsItsPartitionsAndWhatIsStackedOnThem) {
  RecoverTempDir sys;
  std::string disk = sys.file("dev/block/179:0");
  mkdirs(disk + "/mmcblk0p1");
  mkdirs(disk + "/mmcblk0p2");
  mkdirs(disk + "/queue");  // not a partition
  sys.write("dev/block/179:0/mmcblk0p1/partition", "1\n");
  sys.write("dev/block/179:0/mmcblk0p1/dev", "179:1\n");
  sys.write("dev/block/179:0/mmcblk0p2/partition", "2\n");
  sys.write("dev/block/179:0/mmcblk0p2/dev", "179:2\n");
  sys.write("dev/block/179:0/queue/dev", "1:1\n");
  mkdirs(sys.file("dev/block/179:2/holders/dm-0"));
  mkdirs(sys.file("class/block/dm-0"));
  sys.write("class/block/dm-0/dev", "253:0\n");
  MediumIdentity card;
  card.known = true;
  card.blockDevice = true;
  card.rdev = makedev(179, 0);
  auto devices = devicesOfMedium(card, sys.path());
  EXPECT_EQ(devices, (std::vector<dev_t>{makedev(179, 0), makedev(179, 1), makedev(179, 2), makedev(253, 0)}));
}

TEST(MediumDevices, ImageFileBringsTheLoopDevicesBackedByIt) {
  RecoverTempDir sys;
  sys.write("card.img", "x");
  sys.write("other.img", "y");
  mkdirs(sys.file("block/loop3/loop"));
  sys.write("block/loop3/loop/backing_file", sys.file("card.img") + "\n");
  sys.write("block/loop3/dev", "7:3\n");
  mkdirs(sys.file("block/loop4/loop"));
  sys.write("block/loop4/loop/backing_file", sys.file("other.img") + "\n");
  sys.write("block/loop4/dev", "7:4\n");
  mkdirs(sys.file("dev/block/7:3/loop3p1"));
  sys.write("dev/block/7:3/loop3p1/partition", "1\n");
  sys.write("dev/block/7:3/loop3p1/dev", "259:5\n");
  MediumIdentity image;
  ASSERT_TRUE(identifyMedium(sys.file("card.img"), image));
  EXPECT_FALSE(image.blockDevice);
  EXPECT_EQ(devicesOfMedium(image, sys.path()), (std::vector<dev_t>{makedev(7, 3), makedev(259, 5)}));
}

TEST(DestinationGuard, TheMediumItselfIsRefusedAndItsNeighboursAreNot) {
  RecoverTempDir dir;
  dir.write("card.img", "data");
  MediumIdentity image;
  ASSERT_TRUE(identifyMedium(dir.file("card.img"), image));
  std::string why;
  EXPECT_TRUE(destinationOnMedium(dir.file("card.img"), image, &why));
  EXPECT_NE(why.find("is the medium"), std::string::npos);
  // A hard link is the same inode under another name.
  ASSERT_EQ(link(dir.file("card.img").c_str(), dir.file("alias.img").c_str()), 0);
  EXPECT_TRUE(destinationOnMedium(dir.file("alias.img"), image, nullptr));
  EXPECT_FALSE(destinationOnMedium(dir.file("recovered"), image, nullptr));
  EXPECT_FALSE(destinationOnMedium(dir.path(), image, nullptr));
  // A path below the image (which is not a folder) resolves to the image.
  EXPECT_TRUE(destinationOnMedium(dir.file("card.img/sub"), image, nullptr));
}

TEST(DestinationGuard, FolderUnderAMountPointOfTheMediumIsRefused) {
  RecoverTempDir dir;
  mkdirs(dir.file("mnt/DCIM"));
  MediumIdentity card;
  card.known = true;
  card.blockDevice = true;
  card.rdev = makedev(179, 0);
  std::vector<dev_t> devices = {makedev(179, 0), makedev(179, 1)};
  std::vector<MountEntry> mounts = {{makedev(8, 1), "/"}, {makedev(179, 1), dir.file("mnt")}};
  std::string why;
  EXPECT_TRUE(destinationOnDevices(dir.file("mnt/DCIM/new/folder"), card, devices, mounts, &why));
  EXPECT_NE(why.find("mount point"), std::string::npos);
  EXPECT_FALSE(destinationOnDevices(dir.file("elsewhere"), card, devices, mounts, nullptr));
  // Through a symbolic link into the mount point.
  ASSERT_EQ(symlink(dir.file("mnt/DCIM").c_str(), dir.file("link").c_str()), 0);
  EXPECT_TRUE(destinationOnDevices(dir.file("link/x"), card, devices, mounts, nullptr));
}

TEST(DestinationGuard, UnknownMediumRefusesNothing) {
  EXPECT_FALSE(destinationOnMedium("/tmp", MediumIdentity(), nullptr));
}

TEST(DestinationGuardLoop, LoopMountedImageRefusesItsMountPoint) {
  RecoverTempDir dir;
  MountedImage mounted(dir);
  if (!mounted.ok()) GTEST_SKIP() << "loop mounts are not available here";
  MediumIdentity image;
  ASSERT_TRUE(identifyMedium(mounted.image(), image));
  std::string why;
  EXPECT_TRUE(destinationOnMedium(mounted.mountPoint() + "/recovered", image, &why)) << why;
  EXPECT_FALSE(destinationOnMedium(dir.file("recovered"), image, nullptr));

  // The loop device as the medium: its own mount point is refused too.
  MediumIdentity device;
  ASSERT_TRUE(identifyMedium(mounted.loop(), device));
  EXPECT_TRUE(device.blockDevice);
  EXPECT_TRUE(destinationOnMedium(mounted.mountPoint(), device, nullptr));
  EXPECT_TRUE(destinationOnMedium(mounted.loop(), device, nullptr));
  EXPECT_FALSE(destinationOnMedium(dir.file("recovered"), device, nullptr));
}
