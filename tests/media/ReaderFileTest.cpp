// Image files read with positioned reads, including files above 4 GiB.

#include "media/ReaderFile.h"

#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "shell/DebugLog.h"

namespace {

class ImageFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    gchar* dir = g_dir_make_tmp("mzk-readerfile-XXXXXX", nullptr);
    folder_ = dir;
    g_free(dir);
  }
  void TearDown() override {
    for (auto& f : files_) g_remove(f.c_str());
    g_rmdir(folder_.c_str());
  }
  std::string image(const std::string& name, size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), size);
    files_.push_back(path);
    return path;
  }
  std::string folder_;
  std::vector<std::string> files_;
};

uint8_t byteAt(uint64_t i) { return static_cast<uint8_t>(i * 7 + 3); }

}  // namespace

TEST_F(ImageFolder, OpenMeasuresAndReadsAnywhereInside) {
  std::string path = image("card.img", 10000);
  ReaderFile reader;
  EXPECT_EQ(-1, reader.fd());
  EXPECT_EQ(0u, reader.size());
  ASSERT_TRUE(reader.open(path.c_str()));
  EXPECT_EQ(10000u, reader.size());
  EXPECT_EQ(path, reader.path());
  uint8_t buffer[600];
  ASSERT_TRUE(reader.read(4321, buffer, sizeof buffer));
  for (size_t i = 0; i < sizeof buffer; ++i) ASSERT_EQ(byteAt(4321 + i), buffer[i]) << i;
  ASSERT_TRUE(reader.read(0, buffer, 1));
  EXPECT_EQ(byteAt(0), buffer[0]);
  ASSERT_TRUE(reader.read(9999, buffer, 1));
  EXPECT_EQ(byteAt(9999), buffer[0]);
  // Positioned reads leave the descriptor's position alone.
  EXPECT_EQ(0, lseek(reader.fd(), 0, SEEK_CUR));
}

TEST_F(ImageFolder, DeviceAndInodeIdentifyTheFile) {
  std::string path = image("card.img", 512);
  ReaderFile reader;
  ASSERT_TRUE(reader.open(path.c_str()));
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(st.st_dev, reader.device());
  EXPECT_EQ(st.st_ino, reader.inode());
  // Opened read-only: a write through the descriptor is refused.
  EXPECT_EQ(-1, write(reader.fd(), "x", 1));
  EXPECT_EQ(O_RDONLY, fcntl(reader.fd(), F_GETFL) & O_ACCMODE);
  EXPECT_TRUE(fcntl(reader.fd(), F_GETFD) & FD_CLOEXEC);
}

TEST_F(ImageFolder, ReadsAcrossOrPastTheEndFailWhole) {
  std::string path = image("card.img", 1000);
  ReaderFile reader;
  ASSERT_TRUE(reader.open(path.c_str()));
  std::vector<uint8_t> buffer(100, 0xEE);
  DebugLogCapture log;
  EXPECT_FALSE(reader.read(950, buffer.data(), 100));
  EXPECT_EQ("ReaderFile(56): 950 100\n", log.text());
  EXPECT_EQ(std::vector<uint8_t>(100, 0xEE), buffer);
  EXPECT_FALSE(reader.read(1001, buffer.data(), 0));
  EXPECT_FALSE(reader.read(UINT64_MAX - 10, buffer.data(), 20));
  EXPECT_FALSE(reader.read(10, buffer.data(), UINT64_MAX));
  log.clear();
  EXPECT_TRUE(reader.read(1000, buffer.data(), 0));
  EXPECT_TRUE(reader.read(0, buffer.data(), 0));
  EXPECT_EQ("", log.text());
}

TEST_F(ImageFolder, FailedOpenKeepsTheOpenFile) {
  std::string first = image("first.img", 2048);
  std::string second = image("second.img", 4096);
  ReaderFile reader;
  ASSERT_TRUE(reader.open(first.c_str()));
  int fd = reader.fd();
  {
    DebugLogCapture log;
    std::string missing = folder_ + "/missing.img";
    EXPECT_FALSE(reader.open(missing.c_str()));
    EXPECT_EQ("ReaderFile(34): " + missing + " No such file or directory\n", log.text());
  }
  EXPECT_EQ(fd, reader.fd());
  EXPECT_EQ(2048u, reader.size());
  EXPECT_EQ(first, reader.path());
  {
    DebugLogCapture log;
    EXPECT_FALSE(reader.open(folder_.c_str()));
    EXPECT_EQ(0u, log.text().find("ReaderFile(34): " + folder_ + " "));
  }
  EXPECT_FALSE(reader.open(nullptr));
  EXPECT_EQ(2048u, reader.size());
  ASSERT_TRUE(reader.open(second.c_str()));
  EXPECT_EQ(4096u, reader.size());
  EXPECT_EQ(second, reader.path());
  // The first descriptor was closed when the second file took its place.
  EXPECT_TRUE(fcntl(fd, F_GETFD) == -1 || fd == reader.fd());
}

TEST_F(ImageFolder, ClosedReaderFails) {
  ReaderFile reader;
  uint8_t b;
  DebugLogCapture log;
  EXPECT_FALSE(reader.read(0, &b, 1));
  EXPECT_EQ("ReaderFile(56): 0 1\n", log.text());
}

TEST_F(ImageFolder, SparseImageAboveFourGiB) {
  std::string path = folder_ + "/big.img";
  files_.push_back(path);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const uint64_t size = (5ULL << 30) + 12345;
  const uint64_t at = (4ULL << 30) + 4096 + 7;
  const char marker[] = "above four GiB";
  bool made = ftruncate(fd, static_cast<off_t>(size)) == 0 &&
              pwrite(fd, marker, sizeof marker, static_cast<off_t>(at)) == sizeof marker;
  ::close(fd);
  if (!made) GTEST_SKIP() << "no sparse files here";

  ReaderFile reader;
  ASSERT_TRUE(reader.open(path.c_str()));
  EXPECT_EQ(size, reader.size());
  char buffer[sizeof marker + 2] = {};
  ASSERT_TRUE(reader.read(at - 1, buffer, sizeof buffer));
  EXPECT_EQ(0, buffer[0]);
  EXPECT_STREQ(marker, buffer + 1);
  // The same offset cut to 32 bits lies in the hole.
  ASSERT_TRUE(reader.read(at & 0xFFFFFFFFULL, buffer, sizeof marker));
  EXPECT_EQ(std::string(sizeof marker, '\0'), std::string(buffer, sizeof marker));
  uint8_t last[2];
  EXPECT_TRUE(reader.read(size - 1, last, 1));
  EXPECT_FALSE(reader.read(size - 1, last, 2));
}

TEST(ReaderFileDevice, BlockDeviceSizeComesFromItsEnd) {
  // A loop device over a small file, when this machine lets us make one.
  char name[] = "/tmp/mzk-loop-XXXXXX";
  int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  std::vector<uint8_t> bytes(1 << 20, 0x5A);
  ASSERT_EQ(static_cast<ssize_t>(bytes.size()), write(fd, bytes.data(), bytes.size()));
  ::close(fd);
  std::string command = std::string("losetup --find --show ") + name + " 2>/dev/null";
  FILE* p = popen(command.c_str(), "r");
  char device[256] = {};
  bool attached = p && fgets(device, sizeof device, p) != nullptr;
  if (p) pclose(p);
  std::string dev(device);
  while (!dev.empty() && (dev.back() == '\n' || dev.back() == '\r')) dev.pop_back();
  if (!attached || dev.empty()) {
    unlink(name);
    GTEST_SKIP() << "no loop devices here";
  }
  {
    ReaderFile reader;
    EXPECT_TRUE(reader.open(dev.c_str()));
    EXPECT_EQ(bytes.size(), reader.size());
    uint8_t b[4];
    EXPECT_TRUE(reader.read(bytes.size() - 4, b, 4));
    EXPECT_EQ(0x5A, b[3]);
  }
  std::string detach = "losetup -d " + dev;
  EXPECT_EQ(0, system(detach.c_str()));
  unlink(name);
}
