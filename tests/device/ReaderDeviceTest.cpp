// The raw device reader on loop devices: the aligned cache, the write
// alignment rules, read-only opening and write protection.

#include "device/ReaderDevice.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <memory>

#include "device/DeviceClaim.h"
#include "tests/support/LoopDevice.h"
#include "tests/support/TempDir.h"

namespace {

const uint64_t kImageSize = 1 << 20;
const uint64_t kCache = ReaderDevice::kCacheSectors * 512;

std::string pattern(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 12345;
  for (char& c : bytes) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 16);
  return bytes;
}

std::string readImage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ReaderDeviceTest : public ::testing::Test {
 protected:
  void attach(bool readOnly = false) {
    dir.write("card.img", bytes);
    loop.reset(new mzktest::LoopDevice(dir.file("card.img"), readOnly));
  }
  std::string read(ReaderDevice& device, uint64_t offset, uint64_t size) {
    std::string out(size, '\0');
    if (!device.read(offset, &out[0], size)) return "<failed>";
    return out;
  }
  mzktest::TempDir dir;
  std::string bytes = pattern(kImageSize);
  std::unique_ptr<mzktest::LoopDevice> loop;
};

}  // namespace

TEST_F(ReaderDeviceTest, ReadsAreServedThroughTheAlignedCache) {
  attach();
  MZK_SKIP_WITHOUT_LOOP(*loop);
  ReaderDevice device;
  ASSERT_TRUE(device.open(loop->node().c_str()));
  EXPECT_EQ(device.Reader::size(), kImageSize);
  EXPECT_EQ(device.sectorSize(), 512u);
  // One byte at 513 fills 64 sectors from sector 1; 600 is served from them.
  EXPECT_EQ(read(device, 513, 1), bytes.substr(513, 1));
  EXPECT_EQ(device.cacheStart(), 512u);
  EXPECT_EQ(device.cacheLength(), kCache);
  EXPECT_EQ(read(device, 600, 100), bytes.substr(600, 100));
  EXPECT_EQ(device.cacheStart(), 512u);
  // Across the end of the cached range the read goes on with a new fill.
  EXPECT_EQ(read(device, 512 + kCache - 10, 20), bytes.substr(512 + kCache - 10, 20));
  EXPECT_EQ(device.cacheStart(), 512 + kCache);
  // Near the end the last fill is shorter; at the end nothing is read.
  EXPECT_EQ(read(device, kImageSize - 3, 3), bytes.substr(kImageSize - 3));
  EXPECT_EQ(device.cacheLength(), 512u);
  EXPECT_EQ(read(device, kImageSize, 1), "<failed>");
  EXPECT_EQ(read(device, kImageSize - 1, 2), "<failed>");
}

TEST_F(ReaderDeviceTest, OnlyWholeAlignedSectorsUpToTheCacheAreWritten) {
  attach();
  MZK_SKIP_WITHOUT_LOOP(*loop);
  ReaderDevice device;
  ASSERT_TRUE(device.open(loop->node().c_str(), ReaderDevice::ForWriting));
  const std::string block(kCache + 512, 'w');
  const struct {
    uint64_t offset, size;
    bool written;
  } cases[] = {{100, 512, false}, {512, 100, false}, {1024, kCache, true}, {0, kCache + 512, false},
               {kImageSize - 512, 512, true}, {kImageSize, 512, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(device.write(c.offset, block.data(), c.size), c.written) << c.offset << " " << c.size;
    if (c.written) bytes.replace(c.offset, c.size, block.substr(0, c.size));
  }
  // A write empties the cache: what is read is what was written.
  EXPECT_EQ(read(device, 1000, 100), bytes.substr(1000, 100));
  ASSERT_TRUE(device.flush());
  device.close();
  EXPECT_TRUE(readImage(dir.file("card.img")) == bytes);
}

TEST_F(ReaderDeviceTest, ScanningOpensReadOnlyAndWriteProtectionIsSeen) {
  attach(true);
  MZK_SKIP_WITHOUT_LOOP(*loop);
  ReaderDevice device;
  ASSERT_TRUE(device.open(loop->node().c_str()));
  EXPECT_TRUE(device.writeProtected());
  EXPECT_EQ(read(device, 0, 4096), bytes.substr(0, 4096));
  EXPECT_FALSE(device.write(0, bytes.data(), 512));  // opened for reading
  DeviceClaim claim;
  EXPECT_EQ(claim.claim(loop->node(), nullptr), DeviceClaim::WriteProtected);
  EXPECT_TRUE(DeviceClaim::writeProtected(loop->node()));
  EXPECT_TRUE(readImage(dir.file("card.img")) == bytes);
}

TEST(ReaderDevice, OnlyBlockDevicesOpen) {
  mzktest::TempDir dir;
  dir.write("card.img", std::string(4096, 'x'));
  const struct {
    std::string path;
    int error;
  } cases[] = {{dir.file("card.img"), ENOTBLK}, {dir.file("missing"), ENOENT}, {"/dev/null", ENOTBLK}};
  for (const auto& c : cases) {
    ReaderDevice device;
    EXPECT_FALSE(device.open(c.path.c_str())) << c.path;
    EXPECT_EQ(device.lastError(), c.error) << c.path;
  }
}
