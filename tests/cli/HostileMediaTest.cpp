// Media built to make the program do too much: what is recovered stays in
// proportion to the medium.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "tests/cli/CliSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

TEST(HostileMedia, ARiffHeaderInEverySectorIsRecoveredOnce) {
  // 1 MiB of sectors that each start a RIFF chunk claiming the rest of the
  // medium: every later header is a suffix of the first file.
  const size_t sectors = 2048;
  std::string image;
  for (size_t s = 0; s < sectors; ++s) {
    std::string sector = "RIFF";
    putLe32(sector, uint32_t((sectors - s) * 512 - 8));
    sector += "AVI LIST";
    sector.resize(512, 'x');
    image += sector;
  }
  TempDir dir;
  writeFile(dir.file("riff.img"), image);
  ToolResult r = runRecover({"-o", dir.file("out"), dir.file("riff.img")});
  EXPECT_EQ(r.status, 0) << r.err;
  uint64_t written = 0;
  for (const std::string& name : namesIn(dir.file("out"))) {
    struct stat st;
    if (stat((dir.file("out") + "/" + name).c_str(), &st) == 0) written += uint64_t(st.st_size);
  }
  EXPECT_LE(written, 2 * image.size());
  EXPECT_EQ(namesIn(dir.file("out")), std::vector<std::string>{"0-1048576.avi"});
}
