// MD5 against the RFC 1321 vectors and against md5sum.

#include "recover/Md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "tests/recover/RecoverFixtures.h"

TEST(Md5Vectors, Rfc1321Suite) {
  EXPECT_EQ(Md5::hexOf("", 0), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5::hexOf("a", 1), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5::hexOf("abc", 3), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5::hexOf("message digest", 14), "f96b697d7cb7938d525a2f31aaf161d0");
  std::string alpha = "abcdefghijklmnopqrstuvwxyz";
  EXPECT_EQ(Md5::hexOf(alpha.data(), alpha.size()), "c3fcd3d76192e4007dfb496cca67e13b");
  std::string digits;
  for (int i = 0; i < 8; ++i) digits += "1234567890";
  EXPECT_EQ(Md5::hexOf(digits.data(), digits.size()), "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Vectors, PaddingBoundaries) {
  // 55, 56 and 64 bytes: one or two final blocks.
  EXPECT_EQ(Md5::hexOf(std::string(55, 'a').data(), 55), "ef1772b6dff9a122358552954ad0df65");
  EXPECT_EQ(Md5::hexOf(std::string(56, 'a').data(), 56), "3b0c8ac703f828b04c6c197006d17218");
  EXPECT_EQ(Md5::hexOf(std::string(64, 'a').data(), 64), "014842d480b571495a4a0363793f7367");
}

TEST(Md5Streaming, UnevenUpdatesGiveTheSameDigestAsMd5sum) {
  auto data = patternBytes(1000003, 7);
  Md5 md5;
  size_t steps[] = {1, 63, 64, 65, 127, 4096, 32768};
  size_t at = 0, k = 0;
  while (at < data.size()) {
    size_t n = std::min(steps[k++ % 7], data.size() - at);
    md5.update(data.data() + at, n);
    at += n;
  }
  std::string streamed = md5.hexDigest();
  EXPECT_EQ(streamed, Md5::hexOf(data.data(), data.size()));

  RecoverTempDir dir;
  std::ofstream(dir.file("data"), std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
  FILE* pipe = popen(("md5sum '" + dir.file("data") + "'").c_str(), "r");
  if (!pipe) GTEST_SKIP() << "md5sum not available";
  char line[128] = {0};
  bool got = fgets(line, sizeof line, pipe) != nullptr;
  pclose(pipe);
  if (!got) GTEST_SKIP() << "md5sum not available";
  EXPECT_EQ(std::string(line).substr(0, 32), streamed);
}
