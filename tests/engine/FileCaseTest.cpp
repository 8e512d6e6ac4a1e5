// The file case: keys, duplicates, found order, readers for found files,
// the medium hand-over and the file-system pattern map.

#include "engine/FileCase.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "EngineFixtures.h"
#include "filesystems/FileSystems.h"
#include "shell/Config.h"
#include "tests/support/FatImage.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/ScannedCase.h"

using namespace mzktest;

namespace {

FileModule::File fileAt(uint64_t offset, uint64_t size, const std::string& type) {
  FileModule::File f;
  f.offset = offset;
  f.size = size;
  f.attributes.set("t", type);
  return f;
}

struct AddedRecorder : FileCase::Callback {
  void added(const std::string& key, const FileModule::File& file) override { keys += " " + key; }
  std::string keys;
};

std::string errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

class FileCaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.write("FsScanner.cfg", "Type: dir\nPattern: FIRST\nType: other\nType: dir\nPattern: SECOND\nMax Size: 2\n");
    config.set("Program Path", dir.path());
    fileCase.reset(new FileCase(config, allFileSystems()));
    fileCase->setCallback(&recorder);
  }
  // A medium of 64 sectors, each filled with its number.
  void giveMedium() {
    std::string bytes;
    for (int i = 0; i < 64; ++i) bytes += std::string(512, char(i));
    fileCase->setReader(new MemoryReader(bytes.data(), bytes.size()));
  }
  TempDir dir;
  ConfigRecord config;
  std::unique_ptr<FileCase> fileCase;
  AddedRecorder recorder;
};

}  // namespace

TEST(FileCaseKey, OffsetTypeSizeAndFragmentMark) {
  FileModule::File f = fileAt(512, 300, "jpeg");
  EXPECT_EQ("512jpeg300", FileCase::keyOf(f));
  f.attributes.setBool("fragmented", true);
  EXPECT_EQ("512jpeg300f", FileCase::keyOf(f));
  f.attributes.setBool("fragmented", false);
  f.attributes.setBool("deleted", true);
  EXPECT_EQ("512jpeg300", FileCase::keyOf(f));
}

TEST_F(FileCaseTest, TheFirstReportOfAKeyWinsAndTheOrderIsTheOrderFound) {
  FileModule::File first = fileAt(9000, 600, "jpeg");
  first.attributes.set("name", "first");
  FileModule::File again = first, fragmented = first;
  again.attributes.set("name", "again");
  fragmented.attributes.setBool("fragmented", true);
  for (const FileModule::File& f : {first, fileAt(100, 1, "a"), again, fragmented}) fileCase->found(f);
  EXPECT_EQ(" 9000jpeg600 100a1 9000jpeg600f", recorder.keys);
  EXPECT_EQ((std::vector<std::string>{"9000jpeg600", "100a1", "9000jpeg600f"}), fileCase->order());
  ASSERT_NE(nullptr, fileCase->findFile("9000jpeg600"));
  EXPECT_EQ("first", fileCase->findFile("9000jpeg600")->attributes.getString("name"));
  EXPECT_EQ(nullptr, fileCase->findFile("9000jpeg601"));
}

TEST_F(FileCaseTest, ReadersForScannerFilesAreWindowsOnTheMedium) {
  EXPECT_EQ("FileCase(54)", errorOf([&] { fileCase->reader(); }));
  EXPECT_EQ("FileCase(79)", errorOf([&] { fileCase->readerFor(fileAt(0, 1, "x")); }));
  EXPECT_EQ("FileCase(60)", errorOf([&] { fileCase->setReader(nullptr); }));
  giveMedium();
  Reader* r = fileCase->readerFor(fileAt(5 * 512 + 10, 1000, "x"));
  ASSERT_NE(nullptr, r);
  EXPECT_EQ(1000u, r->size());
  uint8_t b[1000];
  ASSERT_TRUE(r->read(0, b, sizeof b));
  EXPECT_EQ(5, b[501]);
  EXPECT_EQ(6, b[502]);
  EXPECT_FALSE(r->read(1, b, sizeof b));
  r = fileCase->readerFor(fileAt(63 * 512, 5000, "x"));
  ASSERT_NE(nullptr, r);
  EXPECT_EQ(512u, r->size()) << "cut at the medium's end";
  EXPECT_EQ(nullptr, fileCase->readerFor(fileAt(64 * 512, 10, "x")));
  EXPECT_EQ(nullptr, fileCase->readerFor(fileAt(UINT64_MAX - 1, 10, "x")));
  ByteRuns runs = fileCase->byteRunsFor(fileAt(1024, 3000, "x"));
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(1024u, runs[0].imageOffset);
  EXPECT_EQ(3000u, runs[0].length);
  EXPECT_TRUE(fileCase->byteRunsFor(fileAt(1024, 0, "x")).empty());
  for (int32_t fs : {3, -7}) {
    FileModule::File f = fileAt(512, 10, "jpg");
    f.attributes.setInt32("fs", fs);
    EXPECT_EQ(nullptr, fileCase->readerFor(f)) << "no volume " << fs;
    EXPECT_TRUE(fileCase->byteRunsFor(f).empty());
  }
  EXPECT_FALSE(fileCase->addVolume([](const VolumeContext&) { return std::shared_ptr<Volume>(); }));
  EXPECT_EQ(0u, fileCase->volumeCount());
}

TEST_F(FileCaseTest, ANewMediumEmptiesTheCaseButKeepsRegistryAndCallback) {
  giveMedium();
  fileCase->found(fileAt(0, 10, "a"));
  FileModule* jpeg = fileCase->registry()->findModule("jpeg");
  fileCase->setReader(new MemoryReader(uint64_t(1024)));
  EXPECT_TRUE(fileCase->files().empty());
  EXPECT_TRUE(fileCase->order().empty());
  EXPECT_EQ(1024u, fileCase->reader()->size());
  EXPECT_EQ(jpeg, fileCase->registry()->findModule("jpeg"));
  fileCase->found(fileAt(0, 10, "a"));
  EXPECT_EQ(" 0a10 0a10", recorder.keys);
}

TEST_F(FileCaseTest, FileSystemPatternsKeepTheLastRecordOfAType) {
  const PatternMap& map = fileCase->fileSystemPatterns();
  ASSERT_EQ(2u, map.size());
  EXPECT_EQ(2u, map.at("dir").maxSize());
  EXPECT_EQ("SECOND", std::string(reinterpret_cast<const char*>(map.at("dir").bytes()), map.at("dir").length()));
  TempDir empty;
  ConfigRecord elsewhere;
  elsewhere.set("Program Path", empty.path());
  EXPECT_EQ("PatternsFile(17)", errorOf([&] { FileCase c(elsewhere, allFileSystems()); }));
}

// The boot sector met by the scan opens the volume, its files carry "fs",
// and their readers follow the chain.
TEST(FileCaseFileSystems, FilesOfAFatVolumeAreReadThroughTheirVolume) {
  TempDir dir;
  FatImage image(dir.file("card.img"), 2, 12, 4);
  std::string payload = randomBytes(5000, 9);
  ASSERT_TRUE(image.ok() && image.put("::/NOTE.TXT", payload));
  ScannedCase scan(image.path());
  ASSERT_EQ(1u, scan.fileCase().volumeCount());
  const FileModule::File* note = scan.byName("NOTE.TXT");
  ASSERT_NE(nullptr, note);
  EXPECT_EQ(0, note->attributes.getInt32("fs", -1));
  std::string back;
  ASSERT_TRUE(scan.readBack(*note, back));
  EXPECT_TRUE(back == payload);
  FileModule::File stray = *note;
  stray.offset = 1;
  EXPECT_EQ(nullptr, scan.fileCase().readerFor(stray)) << "no cluster of the volume starts there";
}
