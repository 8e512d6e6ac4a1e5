// mzk-recover on cards where files lie in pieces: deleted photos around live
// files on FAT (16 and 32 KiB clusters) and exFAT, a deleted photo whose gap
// holds another deleted one, carved photos and movies in pieces among other
// files and noise, a truncated photo, and a card formatted again with
// another cluster size.  Every rebuilt file comes back byte-exact; what
// cannot be proven is listed as partial and written only on request.

#include <gtest/gtest.h>

#include "tests/cli/CliSupport.h"
#include "tests/support/ClusterImage.h"
#include "tests/support/ExfatImage.h"
#include "tests/support/FatImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

typedef std::vector<std::string> Row;  // offset, size, type, fragmented, deleted, fs, flags, name

class Fragments : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("convert") || !haveTool("mkfs.vfat")) GTEST_SKIP() << "needs ImageMagick and dosfstools";
  }
  std::string picture(int seed, const char* size = "400x300") {
    return photo(dir.path(), "-seed " + std::to_string(seed) + " -size " + size + " plasma:fractal -quality 92",
                 "p" + std::to_string(seed) + ".jpg");
  }
  // The row of --list whose size is that of `bytes`.
  Row rowOf(const std::string& image, const std::string& bytes) {
    ToolResult r = runRecover({"--list", image});
    EXPECT_EQ(0, r.status) << r.err;
    for (const Row& row : listRows(r.out))
      if (row.size() == 8 && row[1] == std::to_string(bytes.size())) return row;
    ADD_FAILURE() << "no row of " << bytes.size() << " bytes in\n" << r.out;
    return Row(8);
  }
  static std::string nameOf(const Row& row, const std::string& type = "jpeg") {
    return row[0] + "-" + row[1] + (row[3] == "1" ? "f" : "") + "." + type;
  }
  TempDir dir;
};

}  // namespace

TEST_F(Fragments, DeletedPhotosAroundLiveFilesComeBackWholeAtCameraClusterSizes) {
  for (int sectorsPerCluster : {32, 64}) {
    SCOPED_TRACE(sectorsPerCluster);
    FatImage card(dir.file("card" + std::to_string(sectorsPerCluster) + ".img"), 128, 16, sectorsPerCluster);
    ASSERT_TRUE(card.ok());
    // Filled, every other photo deleted, a large one written into the gaps
    // and deleted too.
    for (int i = 1; i <= 8; ++i) ASSERT_TRUE(card.put("::/S" + std::to_string(i) + ".JPG", picture(i)));
    for (int i = 2; i <= 8; i += 2) ASSERT_TRUE(card.del("::/S" + std::to_string(i) + ".JPG"));
    const std::string large = picture(20, "1600x1200");
    ASSERT_TRUE(card.put("::/LARGE.JPG", large));
    ASSERT_TRUE(card.del("::/LARGE.JPG"));

    Row row = rowOf(card.path(), large);
    EXPECT_EQ((Row{"jpeg", "1", "1", "0", "rebuilt=free-skipping-used"}), Row(row.begin() + 2, row.end() - 1));
    std::string out = dir.file("out" + std::to_string(sectorsPerCluster)), report = out + ".xml";
    ToolResult r = runRecover({"-o", out, "--report", report, card.path()});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(readFile(out + "/" + nameOf(row)) == large);
    EXPECT_NE(readFile(report).find("<mzk:rebuilt>free-skipping-used</mzk:rebuilt>"), std::string::npos);
    EXPECT_TRUE(validatesAsDfxml(report));
  }
}

TEST_F(Fragments, ADeletedPhotoWhoseGapHoldsAnotherDeletedOneIsProvenByItsOwnPieces) {
  FatImage card(dir.file("card.img"), 128, 16, 32);
  ASSERT_TRUE(card.ok());
  const std::string first = picture(1), gap = picture(2), third = picture(3), large = picture(21, "1600x1200");
  ASSERT_TRUE(card.put("::/A.JPG", first) && card.put("::/B.JPG", gap) && card.put("::/C.JPG", third));
  ASSERT_TRUE(card.del("::/B.JPG"));
  ASSERT_TRUE(card.put("::/LARGE.JPG", large));  // B's clusters, then after C
  ASSERT_TRUE(card.del("::/C.JPG") && card.del("::/LARGE.JPG"));
  // The free run after its first cluster holds C: the plain reading is
  // wrong, and the search over the free clusters passes over C.
  Row row = rowOf(card.path(), large);
  EXPECT_EQ((Row{"1", "1", "0", "rebuilt=reassembled"}), Row(row.begin() + 3, row.end() - 1));
  Row deletedThird = rowOf(card.path(), third);
  EXPECT_EQ((Row{"0", "1", "0", "-"}), Row(deletedThird.begin() + 3, deletedThird.end() - 1));
  std::string out = dir.file("out");
  ASSERT_EQ(0, runRecover({"-o", out, card.path()}).status);
  EXPECT_TRUE(readFile(out + "/" + nameOf(row)) == large);
  EXPECT_TRUE(readFile(out + "/" + nameOf(deletedThird)) == third);
}

TEST_F(Fragments, AnExfatPhotoDeletedAroundALiveOneComesBackWhole) {
  if (!haveTool("mkfs.exfat")) GTEST_SKIP() << "needs exfatprogs";
  const std::string live = picture(4), deleted = picture(22, "800x600"), image = dir.file("exfat.img");
  const uint32_t cluster = 16384;
  ExfatImage card(image, 32, cluster);
  ASSERT_TRUE(card.ok());
  std::vector<uint32_t> c = card.freeClusters(200), around;
  // Two clusters, the live photo's, then the rest.
  size_t liveClusters = (live.size() + cluster - 1) / cluster;
  for (size_t i = 0; around.size() * cluster < deleted.size(); ++i)
    if (i < 2 || i >= 2 + liveClusters) around.push_back(c[i]);
  card.add(card.rootCluster(), {u"LIVE.JPG"}, live, std::vector<uint32_t>(c.begin() + 2, c.begin() + 2 + liveClusters));
  card.erase(card.add(card.rootCluster(), {u"GONE.JPG", 0, false}, deleted, around));
  card.save();
  Row row = rowOf(image, deleted);
  EXPECT_EQ((Row{"1", "1", "0", "rebuilt=free-skipping-used", "GONE.JPG"}), Row(row.begin() + 3, row.end()));
  std::string out = dir.file("out");
  ASSERT_EQ(0, runRecover({"--keep-names", "-o", out, image}).status);
  EXPECT_TRUE(readFile(out + "/GONE.JPG") == deleted);
}

TEST_F(Fragments, CarvedPhotosAndMoviesInPiecesAreReassembledAndATruncatedPhotoIsPartial) {
  const uint64_t cluster = 16384;
  const std::string photo = picture(23, "1200x900"), truncated = picture(24, "800x600");
  const std::string film = movie(dir.path(), "-c:v libx264 -pix_fmt yuv420p -crf 12", "film.mp4");
  ClusterImage card(cluster);
  card.noise(2);
  card.add(picture(5));
  card.piece(photo, 0, 3 * cluster);
  card.noise(1);
  card.add(picture(6));
  card.piece(photo, 3 * cluster, 6 * cluster);
  card.add(picture(7));
  if (!film.empty()) {
    card.piece(film, 0, 5 * cluster);
    card.noise(3);
  }
  card.piece(photo, 6 * cluster, photo.size());
  if (!film.empty()) {
    card.add(picture(8));
    card.piece(film, 5 * cluster, film.size());
  }
  const uint64_t cut = card.piece(truncated, 0, 3 * cluster);
  card.noise(2);
  card.add(picture(9));
  const std::string image = dir.file("carve.img");
  writeFile(image, card.bytes());

  Row reassembled = rowOf(image, photo);
  EXPECT_EQ((Row{"jpeg", "1", "0", "-1", "rebuilt=reassembled", ""}), Row(reassembled.begin() + 2, reassembled.end()));
  Row movieRow = film.empty() ? Row(8) : rowOf(image, film);
  std::string list = runRecover({"--list", image}).out;
  EXPECT_NE(list.find(std::to_string(cut) + "\t"), std::string::npos) << list;
  std::string out = dir.file("out");
  ASSERT_EQ(0, runRecover({"-o", out, image}).status);
  EXPECT_TRUE(readFile(out + "/" + nameOf(reassembled)) == photo);
  if (!film.empty()) {
    EXPECT_TRUE(readFile(out + "/" + nameOf(movieRow, "mp4")) == film);
  }
  for (const std::string& name : namesIn(out)) EXPECT_EQ(name.find("partial"), std::string::npos) << name;
  // On request the truncated photo's sound beginning is written, and named
  // so.
  std::string kept = dir.file("kept");
  ASSERT_EQ(0, runRecover({"--keep-partial", "-o", kept, image}).status);
  std::string partialName;
  for (const std::string& name : namesIn(kept))
    if (name.find("-partial.jpeg") != std::string::npos) partialName = name;
  ASSERT_EQ(partialName.find(std::to_string(cut) + "-"), 0u) << partialName;
  std::string beginning = readFile(kept + "/" + partialName);
  EXPECT_GE(beginning.size(), 8192u);
  EXPECT_TRUE(beginning == truncated.substr(0, beginning.size()));
}

TEST_F(Fragments, ACardFormattedAgainWithAnotherClusterSizeGivesItsNamedPhotosBack) {
  FatImage card(dir.file("card.img"), 128, 16, 8);
  ASSERT_TRUE(card.ok());
  ASSERT_TRUE(card.mkdir("::/DCIM") && card.mkdir("::/DCIM/100TEST"));
  std::vector<std::string> photos = {picture(10), picture(11), picture(12, "1024x768")};
  for (size_t i = 0; i < photos.size(); ++i)
    ASSERT_TRUE(card.put("::/DCIM/100TEST/IMG_000" + std::to_string(i + 1) + ".JPG", photos[i]));
  // A quick format with 32 KiB clusters: new tables and root, the old
  // directories left where they were.
  ASSERT_TRUE(sh("mkfs.vfat -F 16 -s 64 " + quote(card.path()) + " >/dev/null"));
  for (size_t i = 0; i < photos.size(); ++i) {
    Row row = rowOf(card.path(), photos[i]);
    EXPECT_EQ((Row{"0", "0", "1", "rebuilt=contiguous", "IMG_000" + std::to_string(i + 1) + ".JPG"}),
              Row(row.begin() + 3, row.end()));
  }
  std::string out = dir.file("out");
  ASSERT_EQ(0, runRecover({"--keep-names", "-o", out, card.path()}).status);
  for (size_t i = 0; i < photos.size(); ++i)
    EXPECT_TRUE(readFile(out + "/IMG_000" + std::to_string(i + 1) + ".JPG") == photos[i]) << i;
}
