// mzk-recover --devices, and a device given as the input.

#include <gtest/gtest.h>

#include "tests/cli/CliSupport.h"
#include "tests/support/Tools.h"
#include "tests/support/TempDir.h"
#include "tests/support/LoopDevice.h"

using namespace mzktest;

TEST(DeviceInput, DevicesAreListedByTheAllowedBusesAndADeviceIsScanned) {
  TempDir dir;
  if (!haveTool("mcopy") || !haveTool("convert")) GTEST_SKIP() << "needs mtools and ImageMagick";
  ASSERT_TRUE(makeFatImage(dir.file("card.img"), 34));
  ASSERT_TRUE(sh("convert rose: -resize 640x480! " + dir.file("photo.jpg") + " && MTOOLS_SKIP_CHECK=1 mcopy -i " +
                    dir.file("card.img") + " " + dir.file("photo.jpg") + " ::PHOTO.JPG"));
  LoopDevice loop(dir.file("card.img"));
  MZK_SKIP_WITHOUT_LOOP(loop);
  writeFile(dir.file("mzk.cfg"), "Allowed Bus Types: Loop\n");
  ToolResult r = runRecover({"--config-dir", dir.path(), "--devices"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("File: " + loop.node() + "\nSize: 35651584\nSector Size: 512\nBus Type: Loop\n"),
            std::string::npos)
      << r.out;
  writeFile(dir.file("mzk.cfg"), "Allowed Bus Types: USB\n");
  r = runRecover({"--config-dir", dir.path(), "--devices"});
  EXPECT_EQ(r.out.find(loop.node() + "\n"), std::string::npos);

  r = runRecover({"--list", loop.node()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\tjpeg\t0\t0\t0\t-\tPHOTO.JPG"), std::string::npos) << r.out;
  EXPECT_EQ(runRecover({"--devices", loop.node()}).status, 1);
}
