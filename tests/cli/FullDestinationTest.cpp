// A destination without room for what was found: nothing is written, and
// the message says what would fit.

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include "tests/cli/CliSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

TEST(FullDestination, TooLittleRoomIsSaidBeforeAnythingIsWritten) {
  TempDir dir;
  std::string small = dir.file("small");
  ASSERT_TRUE(sh("mkdir " + quote(small)));
  if (getuid() != 0 || mount("tmpfs", small.c_str(), "tmpfs", 0, "size=640k") != 0)
    GTEST_SKIP() << "needs root to mount a small tmpfs";
  struct Unmount {
    std::string path;
    ~Unmount() { umount(path.c_str()); }
  } unmount{small};
  // Three photos of about 260 kB: two fit into 640 kB, three do not.
  std::string image;
  for (int i = 0; i < 3; ++i) {
    std::string photo = dir.file("p" + std::to_string(i) + ".jpg");
    ASSERT_TRUE(sh("convert -size 640x480 xc:gray +noise Random -quality 95 " + quote(photo)));
    image += std::string(8192 - image.size() % 4096, '\0') + readFile(photo);
  }
  image += std::string(8192, '\0');
  writeFile(dir.file("card.img"), image);
  ToolResult r = runRecover({"-o", small + "/out", dir.file("card.img")});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("not enough space in " + small + "/out"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the first 2 files"), std::string::npos) << r.err;
  EXPECT_TRUE(namesIn(small + "/out").empty());
}
