// Boot regions made by mkfs.exfat: each hostile field is refused for its own
// reason; the checksum sector vouches for the region except the two fields
// that change without it.  (The scans check the geometry itself.)

#include "exfat/ExfatBootRegion.h"

#include <gtest/gtest.h>

#include "tests/support/ExfatImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

const uint8_t* u8(const std::string& s, size_t at = 0) { return reinterpret_cast<const uint8_t*>(s.data()) + at; }

}  // namespace

// Each case changes the region made by mkfs.exfat (replaces bytes, or flips
// a bit where no bytes are given) and names the reason it is refused for.
TEST(ExfatBootRegion, EachHostileFieldAndEachChangeUnderTheChecksumIsRefused) {
  TempDir dir;
  ExfatImage image(dir.file("card.img"), 8, 4096);  // 16384 sectors, heap at 4096
  ASSERT_TRUE(image.ok());
  const struct {
    const char* what;
    size_t at;
    std::string bytes;
    ExfatBootFault fault;
  } cases[] = {
      {"jump of a FAT boot sector", 0, "\xEB\x3C", ExfatBootFault::kName},
      {"another file system", 3, "NTFS", ExfatBootFault::kName},
      {"signature", 510, std::string(2, '\0'), ExfatBootFault::kSignature},
      {"a FAT parameter block", 11, "\x02", ExfatBootFault::kMustBeZero},
      {"4096-byte sectors", 108, "\x0C", ExfatBootFault::kSectorSize},
      {"64 MiB clusters", 109, "\x11", ExfatBootFault::kClusterSize},
      {"three FATs", 110, "\x03", ExfatBootFault::kFatCount},
      {"revision 2", 105, "\x02", ExfatBootFault::kRevision},
      {"FAT over the backup region", 80, std::string("\x17\0\0\0", 4), ExfatBootFault::kFatOffset},
      {"no clusters", 92, std::string(4, '\0'), ExfatBootFault::kClusterCount},
      {"FAT too short for its clusters", 84, std::string("\x01\0\0\0", 4), ExfatBootFault::kFatLength},
      {"heap before the FAT's end", 88, std::string("\x18\0\0\0", 4), ExfatBootFault::kHeapOffset},
      {"volume shorter than its heap", 72, std::string("\xFF\x0F\0\0\0\0\0\0", 8), ExfatBootFault::kVolumeLength},
      {"root cluster 1", 96, std::string("\x01\0\0\0", 4), ExfatBootFault::kRootCluster},
      {"root past the heap", 96, std::string("\0\0\0\x40", 4), ExfatBootFault::kRootCluster},
      {"volume flags, outside the checksum", 106, "", ExfatBootFault::kNone},
      {"percent in use, outside the checksum", 112, "", ExfatBootFault::kNone},
      {"serial number", 100, "", ExfatBootFault::kChecksum},
      {"boot code", 200, "", ExfatBootFault::kChecksum},
      {"OEM parameters", 9 * 512 + 7, "", ExfatBootFault::kChecksum},
      {"checksum sector", 11 * 512 + 300, "", ExfatBootFault::kChecksum},
  };
  for (const auto& c : cases) {
    std::string region = image.bytes().substr(0, kExfatBootRegionBytes);
    if (c.bytes.empty())
      region[c.at] = char(region[c.at] ^ 0x10);
    else
      region.replace(c.at, c.bytes.size(), c.bytes);
    ExfatParameters p;
    ExfatBootFault fault = ExfatBootFault::kNone;
    EXPECT_EQ(c.fault == ExfatBootFault::kNone, parseExfatBootRegion(u8(region), region.size(), p, &fault)) << c.what;
    EXPECT_EQ(c.fault, fault) << c.what;
    EXPECT_EQ(c.fault == ExfatBootFault::kNone ? 1536u : 0u, p.clusterCount) << c.what << ": unchanged on failure";
  }
}
