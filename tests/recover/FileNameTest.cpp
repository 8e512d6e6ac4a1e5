// Destination names: made safe, joined, numbered on a clash; the private
// temporary folder.

#include "recover/FileName.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(SafeFileName, SeparatorsNulAndControlsBecomeUnderscores) {
  EXPECT_EQ(safeFileName("a/b"), "a_b");
  EXPECT_EQ(safeFileName(std::string("a\0b", 3)), "a_b");
  EXPECT_EQ(safeFileName("tab\there\x7f"), "tab_here_");
  EXPECT_EQ(safeFileName("Fotos & Videos.jpg"), "Fotos & Videos.jpg");
  EXPECT_EQ(safeFileName("\xd0\x9f\xd1\x80.JPG"), "\xd0\x9f\xd1\x80.JPG");
}

TEST(SafeFileName, DotNamesAndEmptyAreReplaced) {
  EXPECT_EQ(safeFileName(""), "_");
  EXPECT_EQ(safeFileName("."), "_");
  EXPECT_EQ(safeFileName(".."), "_");
  EXPECT_EQ(safeFileName("..."), "...");
  EXPECT_EQ(safeFileName("/"), "_");
}

TEST(SafeFileName, LongNameIsCutAtACharacterBoundaryKeepingItsExtension) {
  std::string cyrillic;
  for (int i = 0; i < 200; ++i) cyrillic += "\xd0\x96";  // 400 bytes
  std::string safe = safeFileName(cyrillic + ".jpeg");
  EXPECT_LE(safe.size(), 255u);
  ASSERT_GE(safe.size(), 5u);
  EXPECT_EQ(safe.substr(safe.size() - 5), ".jpeg");
  std::string stem = safe.substr(0, safe.size() - 5);
  EXPECT_EQ(stem.size() % 2, 0u) << "half a character left";
  EXPECT_TRUE(g_utf8_validate(safe.data(), static_cast<gssize>(safe.size()), nullptr));
  EXPECT_EQ(safeFileName(std::string(300, 'x')).size(), 255u);
}

TEST(SafeFileName, CuttingNeverLeavesADotName) {
  // A dot and then bytes that are not UTF-8: the cut must not end at ".".
  std::string hostile = ".j" + std::string(400, '\xb4');
  std::string safe = safeFileName(hostile);
  EXPECT_NE(safe, ".");
  EXPECT_NE(safe, "..");
  EXPECT_LE(safe.size(), 255u);
  EXPECT_EQ(safeFileName(".." + std::string(300, '\x9e')).size(), 255u);
}

TEST(PathHelpers, JoinUsesOneSlash) {
  EXPECT_EQ(joinPath("/out", "a"), "/out/a");
  EXPECT_EQ(joinPath("/out/", "a"), "/out/a");
  EXPECT_EQ(joinPath("", "a"), "a");
  EXPECT_EQ(joinPath("/", "a"), "/a");
}

TEST(PathHelpers, SuffixGoesBeforeTheExtensionOfTheLastComponent) {
  EXPECT_EQ(withSuffix("d/1-2.jpeg", "3"), "d/1-2-3.jpeg");
  EXPECT_EQ(withSuffix("d/1-2.", "1"), "d/1-2-1.");
  EXPECT_EQ(withSuffix("d.x/card", "1"), "d.x/card-1");
  EXPECT_EQ(withSuffix("d/.hidden", "2"), "d/.hidden-2");
  EXPECT_EQ(withSuffix("a.tar.gz", "1"), "a.tar-1.gz");
}

TEST(PathHelpers, FolderOf) {
  EXPECT_EQ(folderOf("/out/a.jpg"), "/out");
  EXPECT_EQ(folderOf("a.jpg"), ".");
  EXPECT_EQ(folderOf("/a.jpg"), "/");
}

TEST(PrivateTempFolder, IsNewPrivateAndUnderTheTemporaryFolder) {
  std::string a = makePrivateTempFolder();
  std::string b = makePrivateTempFolder();
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  EXPECT_NE(a, b);
  std::string tmp = g_get_tmp_dir();
  EXPECT_EQ(a.compare(0, tmp.size(), tmp), 0);
  struct stat st;
  ASSERT_EQ(stat(a.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  rmdir(a.c_str());
  rmdir(b.c_str());
}
