// A medium whose every sector is a boot sector that opens a volume: the
// volumes kept stay bounded, and a real volume among them still yields its
// files.

#include <gtest/gtest.h>

#include "tests/support/MemoryReader.h"
#include "tests/support/ScannedCase.h"
#include "tests/support/Tools.h"

TEST(HostileVolumes, BootSectorsInEverySectorKeepABoundedNumberOfVolumes) {
  // Each sector is both a FAT16-looking boot sector (FATs at the next two
  // sectors, 16 root entries, 64 sectors) and the start of a FAT, so every
  // one of them opens a volume.
  std::string sector(512, '\0');
  const uint8_t fatStart[4] = {0xF8, 0xFF, 0xFF, 0xFF};
  for (int i = 0; i < 4; ++i) sector[i] = char(fatStart[i]);
  mzktest::setLe16(sector, 11, 512);
  sector[13] = 1;                     // sectors per cluster
  mzktest::setLe16(sector, 14, 1);    // reserved
  sector[16] = 2;                     // FATs
  mzktest::setLe16(sector, 17, 16);   // root entries
  mzktest::setLe16(sector, 19, 64);   // total sectors
  sector[21] = char(0xF8);
  mzktest::setLe16(sector, 22, 1);    // sectors per FAT
  sector[510] = char(0x55), sector[511] = char(0xAA);
  std::string image;
  for (int s = 0; s < 16384; ++s) image += sector;  // 8 MiB

  mzktest::ScannedCase scanned(new MemoryReader(image.data(), image.size()));
  EXPECT_LE(scanned.fileCase().volumeCount(), FileCase::kMaxVolumes);
  EXPECT_GT(scanned.fileCase().volumeCount(), 0u);
}
