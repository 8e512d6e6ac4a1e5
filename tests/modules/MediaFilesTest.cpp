// Audio and video files from Debian tools: exact ends among neighbours on a
// carve image and in a FAT directory, with the names and times they carry;
// and what the modules make of damaged copies.

#include <gtest/gtest.h>

#include "engine/FileModuleRegistry.h"
#include "tests/support/CarveImage.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

class MediaFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"lame", "id3v2", "eyeD3", "sox", "ffmpeg", "mkfs.vfat", "mcopy", "convert", "heif-enc",
                             "avifenc", "cwebp", "img2webp", "gs", "exiftool", "qpdf"})
      if (!haveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    for (const MediaFile& file : mediaFiles()) ASSERT_FALSE(file.bytes.empty()) << file.name;
  }
  // The size the file's module gives `bytes`, 0 when it refuses them.
  uint64_t judge(const MediaFile& file, const std::string& bytes) {
    MemoryReader reader(bytes.data(), bytes.size());
    FileModule::File result;
    if (!registry.findModule(file.module)->analyze(reader, result)) return 0;
    EXPECT_LE(result.size, bytes.size()) << file.name;
    return result.size;
  }
  FileModuleRegistry registry;
};

}  // namespace

TEST_F(MediaFilesTest, EveryFileEndsExactlyAmongNeighboursWithItsNameAndTimeAlsoInAFatDirectory) {
  CarveImage image;
  for (size_t i = 0; i < mediaFiles().size(); ++i) image.add(mediaFiles()[i].name, mediaFiles()[i].bytes, 1 + i % 3);
  // A FAT volume among them, whose directory names three of the files.
  TempDir dir;
  std::string card = dir.file("card.img");
  ASSERT_TRUE(sh("truncate -s 4M " + quote(card) + " && mkfs.vfat -F 12 " + quote(card)));
  for (const char* name : {"tagged.mp3", "film.wmv", "song.wma"}) {
    writeFile(dir.file(name), mediaFile(name)->bytes);
    ASSERT_TRUE(sh("MTOOLS_SKIP_CHECK=1 mcopy -i " + quote(card) + " " + quote(dir.file(name)) + " ::" + name));
  }
  image.add("card", readFile(card));
  image.pad(2);
  std::vector<FileModule::File> found = scanImage(image.bytes());
  auto nameAndTime = [](const FileModule::File& f) { return f.attributes.getString("name") + "@" + std::to_string(f.attributes.getInt32("time", -1)); };
  size_t named = 0;
  for (const FileModule::File& file : found) {
    if (const MediaFile* made = mediaFile(file.attributes.getString("fn")); made && ++named) {
      EXPECT_EQ(nameAndTime(file), made->title + ("@" + std::to_string(made->time))) << made->name;
    }
  }
  EXPECT_EQ(named, 3u);
  for (size_t i = 0; i < mediaFiles().size(); ++i) {
    const MediaFile& file = mediaFiles()[i];
    const FileModule::File* hit = foundAt(found, image.files()[i].offset, file.type);
    ASSERT_NE(hit, nullptr) << file.name;
    EXPECT_EQ(hit->size, file.bytes.size()) << file.name;
    EXPECT_EQ(nameAndTime(*hit), file.title + ("@" + std::to_string(file.time))) << file.name;
  }
}

TEST_F(MediaFilesTest, DamagedCopiesAreRefusedOrEndNoFurtherThanTheDamage) {
  for (const MediaFile& file : mediaFiles()) {
    const std::string& bytes = file.bytes;
    // Cut at three fifths with noise after it, as on a card; and one byte
    // short, as when the file is longer than the pattern's Max Size.
    for (std::string cut : {bytes.substr(0, bytes.size() * 3 / 5) + noise(4096, 7), bytes.substr(0, bytes.size() - 1)}) {
      uint64_t size = judge(file, cut);
      EXPECT_TRUE(file.truncated == Damage::kRefused ? size == 0 : size < bytes.size()) << file.name << " cut to " << cut.size();
    }
    // A sector of noise in the middle, at a 2048-byte boundary where a
    // program stream's pack starts.
    uint64_t middle = bytes.size() / 2 / 2048 * 2048;
    std::string damaged = bytes + noise(4096, 9);
    damaged.replace(middle, 512, noise(512, 8));
    uint64_t size = judge(file, damaged);
    bool kept = file.corrupt == Damage::kWhole ? size == bytes.size() : size <= middle + 2048;
    EXPECT_TRUE(kept || file.corrupt == Damage::kAny) << file.name;
  }
}
