// A destination that fills up while a file is written: the failure says
// so, and the incomplete file is gone.

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include "recover/FileRecoverer.h"
#include "tests/recover/RecoverFixtures.h"
#include "tests/support/Tools.h"

TEST(FullDisk, AFileCutShortByAFullDiskIsRemovedAndSaidToBeNoSpace) {
  RecoverTempDir out;
  if (getuid() != 0 || mount("tmpfs", out.path().c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "needs root to mount a small tmpfs";
  CaseOverMemory c(mzktest::randomBytes(400000, 1));
  FileRecoverer r(nullptr, nullptr, &c.fileCase(), 200000, out.path());
  EXPECT_FALSE(r.recover(foundFile(4096, 200000)));
  EXPECT_EQ(r.lastFailure(), FileRecoverer::NoSpace);
  EXPECT_TRUE(out.names().empty());
  umount(out.path().c_str());
}
