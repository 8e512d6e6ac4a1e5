// The guard that keeps recovered files off the medium, decided from the
// identity, devices and mounts it is given.

#include "recover/MediumGuard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "tests/recover/RecoverFixtures.h"

TEST(MediumGuardPaths, PathUnderComparesWholeComponents) {
  EXPECT_TRUE(pathIsUnder("/media/card", "/media/card"));
  EXPECT_TRUE(pathIsUnder("/media/card/DCIM", "/media/card"));
  EXPECT_FALSE(pathIsUnder("/media/card2", "/media/card"));
  EXPECT_FALSE(pathIsUnder("/media", "/media/card"));
  EXPECT_TRUE(pathIsUnder("/anything", "/"));
}

TEST(DestinationGuard, TheMediumItselfIsRefusedAndItsNeighboursAreNot) {
  RecoverTempDir dir;
  dir.write("card.img", "data");
  struct stat st;
  ASSERT_EQ(stat(dir.file("card.img").c_str(), &st), 0);
  MediumIdentity image = mediumIdentityOf(st.st_dev, st.st_ino);
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
  EXPECT_FALSE(destinationOnMedium("/tmp", MediumIdentity(), nullptr));
}

TEST(DestinationGuard, FolderUnderAMountPointOfTheMediumIsRefused) {
  RecoverTempDir dir;
  ASSERT_EQ(system(("mkdir -p '" + dir.file("mnt/DCIM") + "'").c_str()), 0);
  MediumIdentity card;
  card.known = true;
  card.blockDevice = true;
  card.rdev = makedev(179, 0);
  card.devices = {makedev(179, 0), makedev(179, 1)};
  card.mounts = {{makedev(8, 1), "/"}, {makedev(179, 1), dir.file("mnt")}};
  std::string why;
  EXPECT_TRUE(destinationOnMedium(dir.file("mnt/DCIM/new/folder"), card, &why));
  EXPECT_NE(why.find("mount point"), std::string::npos);
  EXPECT_FALSE(destinationOnMedium(dir.file("elsewhere"), card, nullptr));
  // Through a symbolic link into the mount point.
  ASSERT_EQ(symlink(dir.file("mnt/DCIM").c_str(), dir.file("link").c_str()), 0);
  EXPECT_TRUE(destinationOnMedium(dir.file("link/x"), card, nullptr));
}
