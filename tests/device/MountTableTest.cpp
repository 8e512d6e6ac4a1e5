// The mount table, the devices of a medium in sysfs, and how both reach
// the destination guard and the write claim on a real loop mount.

#include "device/MountTable.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "device/DeviceClaim.h"
#include "device/MediumPlacement.h"
#include "recover/MediumGuard.h"
#include "tests/support/LoopDevice.h"
#include "tests/support/TempDir.h"

using mzktest::shell;

TEST(MountInfo, FieldsEscapesTypeAndSourceAreDecoded) {
  std::string text =
      "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
      "45 22 179:2 / /media/user/Fotos\\040&\\040Videos rw - vfat /dev/mmcblk0p2 rw\n"
      "46 22 0:40 / /mnt/card rw - fuse.fusefat /dev/loop\\0403 rw\n"
      "garbage\n"
      "47 22 x:y / /broken rw - ext4 /dev/x rw\n"
      "48 22 7:0 / relative rw - ext4 /dev/loop0 rw\n";
  auto entries = parseMountInfo(text);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].device, makedev(8, 1));
  EXPECT_EQ(entries[0].fsType, "ext4");
  EXPECT_EQ(entries[1].mountPoint, "/media/user/Fotos & Videos");
  EXPECT_EQ(entries[1].source, "/dev/mmcblk0p2");
  EXPECT_EQ(entries[2].source, "/dev/loop 3");
  EXPECT_EQ(mountsOn(entries, {makedev(179, 2)}).size(), 1u);
}

TEST(MountInfo, FuseMountsTakeTheDeviceNamedAsTheirSource) {
  mzktest::TempDir dir;
  ASSERT_TRUE(mzktest::makeFatImage(dir.path() + "/card.img", 40));
  mzktest::LoopDevice loop(dir.path() + "/card.img");
  MZK_SKIP_WITHOUT_LOOP(loop);
  struct stat st;
  ASSERT_EQ(stat(loop.node().c_str(), &st), 0);
  std::vector<MountRecord> mounts = parseMountInfo("46 22 0:40 / /mnt/card rw - fuse.fusefat " + loop.node() +
                                                   " rw\n47 22 0:41 / /mnt/other rw - fuse.sshfs host:/x rw\n");
  resolveMountSources(mounts);
  EXPECT_EQ(mounts[0].device, st.st_rdev);
  EXPECT_EQ(mounts[1].device, makedev(0, 41));
}

TEST(MediumDevices, BlockDeviceBringsItsPartitionsAndWhatIsStackedOnThem) {
  mzktest::TempDir sys;
  const std::string disk = sys.path() + "/dev/block/179:0";
  ASSERT_TRUE(shell("mkdir -p " + disk + "/mmcblk0p1 " + disk + "/mmcblk0p2 " + disk + "/queue " + sys.path() +
                    "/dev/block/179:2/holders/dm-0 " + sys.path() + "/class/block/dm-0"));
  sys.write("dev/block/179:0/mmcblk0p1/partition", "1\n");
  sys.write("dev/block/179:0/mmcblk0p1/dev", "179:1\n");
  sys.write("dev/block/179:0/mmcblk0p2/partition", "2\n");
  sys.write("dev/block/179:0/mmcblk0p2/dev", "179:2\n");
  sys.write("dev/block/179:0/queue/dev", "1:1\n");  // not a partition
  sys.write("class/block/dm-0/dev", "253:0\n");
  MediumIdentity card;
  card.known = true;
  card.blockDevice = true;
  card.rdev = makedev(179, 0);
  EXPECT_EQ(devicesOfMedium(card, sys.path()),
            (std::vector<dev_t>{makedev(179, 0), makedev(179, 1), makedev(179, 2), makedev(253, 0)}));
}

TEST(MediumDevices, ImageFileBringsTheLoopDevicesBackedByIt) {
  mzktest::TempDir sys;
  ASSERT_TRUE(shell("mkdir -p " + sys.path() + "/block/loop3/loop " + sys.path() + "/block/loop4/loop"));
  sys.write("card.img", "x");
  sys.write("other.img", "y");
  sys.write("block/loop3/loop/backing_file", sys.path() + "/card.img\n");
  sys.write("block/loop3/dev", "7:3\n");
  sys.write("block/loop4/loop/backing_file", sys.path() + "/other.img\n");
  sys.write("block/loop4/dev", "7:4\n");
  struct stat st;
  ASSERT_EQ(stat((sys.path() + "/card.img").c_str(), &st), 0);
  MediumIdentity image;
  image.known = true;
  image.device = st.st_dev;
  image.inode = st.st_ino;
  EXPECT_EQ(devicesOfMedium(image, sys.path()), (std::vector<dev_t>{makedev(7, 3)}));
}

// An ext4 image on a loop device, mounted: the guard refuses its mount
// point for the image and for the device, and the write claim unmounts it.
TEST(MountedLoopDevice, GuardRefusesTheMountPointAndTheClaimUnmountsIt) {
  mzktest::TempDir dir;
  const std::string image = dir.path() + "/card.img", mountPoint = dir.path() + "/mnt";
  ASSERT_TRUE(shell("truncate -s 8M " + image + " && mke2fs -q -F " + image + " && mkdir " + mountPoint));
  mzktest::LoopDevice loop(image);
  MZK_SKIP_WITHOUT_LOOP(loop);
  if (!shell("mount " + loop.node() + " " + mountPoint)) GTEST_SKIP() << "this system cannot mount ext4 loop devices";
  MediumIdentity asImage, asDevice;
  ASSERT_TRUE(identifyMedium(image, asImage));
  ASSERT_TRUE(identifyMedium(loop.node(), asDevice));
  std::string why;
  EXPECT_TRUE(destinationOnMedium(mountPoint + "/recovered", asImage, &why)) << why;
  EXPECT_TRUE(destinationOnMedium(mountPoint, asDevice, nullptr));
  EXPECT_FALSE(destinationOnMedium(dir.path() + "/recovered", asDevice, nullptr));

  DeviceClaim claim;
  std::string detail;
  const DeviceClaim::Result result = claim.claim(loop.node(), &detail);
  if (result != DeviceClaim::Claimed) shell("umount " + mountPoint);
  ASSERT_EQ(result, DeviceClaim::Claimed) << detail;
  EXPECT_TRUE(mountsOn(readMountTable(), {asDevice.rdev}).empty());
  // Held exclusively: the kernel refuses to mount it meanwhile.
  EXPECT_FALSE(shell("mount " + loop.node() + " " + mountPoint));
  shell("umount " + mountPoint);
}
