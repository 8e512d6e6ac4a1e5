// Image files read with positioned reads, including files above 4 GiB and
// block devices.

#include "media/ReaderFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

TEST(ReaderFile, ReadsAnywhereInsideAndNothingAcrossTheEnd) {
  TempDir dir;
  const std::string bytes = randomBytes(10000, 3);
  dir.write("card.img", bytes);
  ReaderFile reader;
  EXPECT_EQ(-1, reader.fd());
  ASSERT_TRUE(reader.open(dir.file("card.img").c_str()));
  EXPECT_EQ(10000u, reader.size());
  EXPECT_EQ(dir.file("card.img"), reader.path());
  std::string b(600, '\0');
  for (uint64_t at : {0, 4321, 9400}) {
    ASSERT_TRUE(reader.read(at, &b[0], 600)) << at;
    EXPECT_TRUE(b == bytes.substr(at, 600)) << at;
  }
  EXPECT_TRUE(reader.read(10000, &b[0], 0));
  std::string before = b;
  const std::pair<uint64_t, uint64_t> refused[] = {{9950, 100}, {10001, 0}, {UINT64_MAX - 10, 20}, {10, UINT64_MAX}};
  for (const auto& r : refused) EXPECT_FALSE(reader.read(r.first, &b[0], r.second)) << r.first;
  EXPECT_EQ(before, b) << "no partial result";
  EXPECT_EQ(0, lseek(reader.fd(), 0, SEEK_CUR)) << "positioned reads leave the descriptor's position alone";
  // Opened read-only and closed on exec; device and inode identify the file.
  EXPECT_EQ(O_RDONLY, fcntl(reader.fd(), F_GETFL) & O_ACCMODE);
  EXPECT_TRUE(fcntl(reader.fd(), F_GETFD) & FD_CLOEXEC);
  struct stat st;
  ASSERT_EQ(0, stat(dir.file("card.img").c_str(), &st));
  EXPECT_EQ(st.st_dev, reader.device());
  EXPECT_EQ(st.st_ino, reader.inode());
  ReaderFile closed;
  EXPECT_FALSE(closed.read(0, &b[0], 1));
}

TEST(ReaderFile, AFailedOpenKeepsTheOpenFile) {
  TempDir dir;
  dir.write("first.img", std::string(2048, 'a'));
  dir.write("second.img", std::string(4096, 'b'));
  ReaderFile reader;
  ASSERT_TRUE(reader.open(dir.file("first.img").c_str()));
  int fd = reader.fd();
  const std::string missing = dir.file("missing.img");
  for (const char* path : {missing.c_str(), dir.path().c_str(), static_cast<const char*>(nullptr)})
    EXPECT_FALSE(reader.open(path));
  EXPECT_EQ(fd, reader.fd());
  EXPECT_EQ(2048u, reader.size());
  EXPECT_EQ(dir.file("first.img"), reader.path());
  ASSERT_TRUE(reader.open(dir.file("second.img").c_str()));
  EXPECT_EQ(4096u, reader.size());
  EXPECT_TRUE(fcntl(fd, F_GETFD) == -1 || fd == reader.fd()) << "the first descriptor was closed";
}

TEST(ReaderFile, ASparseImageAboveFourGiB) {
  TempDir dir;
  const uint64_t size = (5ULL << 30) + 12345, at = (4ULL << 30) + 4096 + 7;
  const std::string marker = "above four GiB";
  ASSERT_TRUE(sh("truncate -s " + std::to_string(size) + " " + quote(dir.file("big.img"))));
  int fd = ::open(dir.file("big.img").c_str(), O_WRONLY);
  ASSERT_EQ(ssize_t(marker.size()), pwrite(fd, marker.data(), marker.size(), off_t(at)));
  ::close(fd);
  ReaderFile reader;
  ASSERT_TRUE(reader.open(dir.file("big.img").c_str()));
  EXPECT_EQ(size, reader.size());
  std::string b(marker.size() + 1, 'x');
  ASSERT_TRUE(reader.read(at - 1, &b[0], b.size()));
  EXPECT_EQ('\0' + marker, b);
  ASSERT_TRUE(reader.read(at & 0xFFFFFFFFULL, &b[0], b.size()));
  EXPECT_EQ(std::string(b.size(), '\0'), b) << "the same offset cut to 32 bits lies in the hole";
  EXPECT_TRUE(reader.read(size - 1, &b[0], 1));
  EXPECT_FALSE(reader.read(size - 1, &b[0], 2));
}

TEST(ReaderFile, ABlockDeviceIsMeasuredByItsEnd) {
  TempDir dir;
  dir.write("loop.img", std::string(1 << 20, 0x5A));
  std::string device = shOutput("losetup --find --show " + quote(dir.file("loop.img")) + " 2>/dev/null");
  device = device.substr(0, device.find('\n'));
  if (device.empty()) GTEST_SKIP() << "no loop devices here";
  {
    ReaderFile reader;
    EXPECT_TRUE(reader.open(device.c_str()));
    EXPECT_EQ(1u << 20, reader.size());
    uint8_t b[4];
    EXPECT_TRUE(reader.read((1 << 20) - 4, b, 4));
    EXPECT_EQ(0x5A, b[3]);
  }
  EXPECT_TRUE(sh("losetup -d " + device));
}
