// Destination names: made safe, joined, numbered on a clash; the private
// temporary folder.

#include "recover/FileName.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

std::string times(int n, const std::string& text) {
  std::string out;
  for (int i = 0; i < n; ++i) out += text;
  return out;
}

}  // namespace

TEST(SafeFileName, OneComponentNeverADotNameAtMost255Bytes) {
  const std::pair<std::string, std::string> cases[] = {
      {"a/b", "a_b"},
      {std::string("a\0b", 3), "a_b"},
      {"tab\there\x7f", "tab_here_"},
      {"Fotos & Videos.jpg", "Fotos & Videos.jpg"},
      {"\xd0\x9f\xd1\x80.JPG", "\xd0\x9f\xd1\x80.JPG"},
      {"", "_"},
      {".", "_"},
      {"..", "_"},
      {"/", "_"},
      {"...", "..."},
      {std::string(300, 'x'), std::string(255, 'x')},
      {times(200, "\xd0\x96") + ".jpeg", times(125, "\xd0\x96") + ".jpeg"},  // cut at a character
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, safeFileName(c.first)) << c.first;
  // A dot and then bytes that are not UTF-8: the cut must not end at ".".
  for (const std::string& hostile : {".j" + std::string(400, '\xb4'), ".." + std::string(300, '\x9e')}) {
    std::string safe = safeFileName(hostile);
    EXPECT_EQ(255u, safe.size());
    EXPECT_NE(".", safe);
  }
}

TEST(PathHelpers, JoinSuffixAndFolder) {
  const std::pair<std::string, std::string> joined[] = {
      {joinPath("/out", "a"), "/out/a"}, {joinPath("/out/", "a"), "/out/a"}, {joinPath("", "a"), "a"},
      {joinPath("/", "a"), "/a"},        {withSuffix("d/1-2.jpeg", "3"), "d/1-2-3.jpeg"},
      {withSuffix("d/1-2.", "1"), "d/1-2-1."},  {withSuffix("d.x/card", "1"), "d.x/card-1"},
      {withSuffix("d/.hidden", "2"), "d/.hidden-2"}, {withSuffix("a.tar.gz", "1"), "a.tar-1.gz"},
      {folderOf("/out/a.jpg"), "/out"},  {folderOf("a.jpg"), "."},              {folderOf("/a.jpg"), "/"},
  };
  for (const auto& c : joined) EXPECT_EQ(c.second, c.first);
}

TEST(PrivateTempFolder, IsNewPrivateAndUnderTheTemporaryFolder) {
  std::string a = makePrivateTempFolder(), b = makePrivateTempFolder();
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  EXPECT_EQ(0, a.compare(0, strlen(g_get_tmp_dir()), g_get_tmp_dir()));
  struct stat st;
  ASSERT_EQ(0, stat(a.c_str(), &st));
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(0700u, st.st_mode & 0777);
  rmdir(a.c_str());
  rmdir(b.c_str());
}
