// The file case: keys, duplicates, found order, readers for found files,
// the medium hand-over and the file-system pattern map.

#include "engine/FileCase.h"
#include "filesystems/FileSystems.h"
#include "engine/PatternsFile.h"
#include "engine/ScanRun.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "EngineFixtures.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "tests/support/MemoryReader.h"

namespace {

FileModule::File fileAt(uint64_t offset, uint64_t size, const std::string& type) {
  FileModule::File f;
  f.offset = offset;
  f.size = size;
  f.attributes.set("t", type);
  return f;
}

struct AddedRecorder : FileCase::Callback {
  void added(const std::string& key, const FileModule::File& file) override { keys.push_back(key); }
  std::vector<std::string> keys;
};

class FileCaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.write("FsScanner.cfg",
              "# file-system patterns\n"
              "Type: dir\nPattern: .\\x20\\x20\nMax Size: 1\n"
              "Type: other\n"
              "Type: dir\nPattern: SECOND\nMax Size: 2\n");
    config.set("Program Path", dir.path());
    fileCase.reset(new FileCase(config, allFileSystems()));
    owned.reset(new MemoryReader(uint64_t(64) * 512));
    for (size_t i = 0; i < owned->bytes().size(); ++i) owned->bytes()[i] = static_cast<uint8_t>(i / 512);
    medium = owned.get();
  }
  // Gives the medium (each sector filled with its number) to the case.
  void handOver() { fileCase->setReader(owned.release()); }
  TempDir dir;
  ConfigRecord config;
  std::unique_ptr<FileCase> fileCase;
  std::unique_ptr<MemoryReader> owned;
  MemoryReader* medium = nullptr;
};

std::string errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

TEST(FileCaseKey, OffsetTypeSizeAndFragmentMark) {
  FileModule::File f = fileAt(512, 300, "jpeg");
  EXPECT_EQ(FileCase::keyOf(f), "512jpeg300");
  f.attributes.setBool("fragmented", true);
  EXPECT_EQ(FileCase::keyOf(f), "512jpeg300f");
  f.attributes.setBool("fragmented", false);
  EXPECT_EQ(FileCase::keyOf(f), "512jpeg300");
  FileModule::File untyped;
  untyped.offset = 0;
  untyped.size = 7;
  EXPECT_EQ(FileCase::keyOf(untyped), "07");
}

TEST_F(FileCaseTest, DuplicateKeysAreDroppedAndTheFirstReportWins) {
  AddedRecorder recorder;
  fileCase->setCallback(&recorder);
  FileModule::File first = fileAt(1024, 600, "jpeg");
  first.attributes.set("name", "first");
  FileModule::File again = fileAt(1024, 600, "jpeg");
  again.attributes.set("name", "again");
  fileCase->found(first);
  fileCase->found(again);
  ASSERT_EQ(recorder.keys, std::vector<std::string>{"1024jpeg600"});
  const FileModule::File* stored = fileCase->findFile("1024jpeg600");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->attributes.getString("name"), "first");
  EXPECT_EQ(fileCase->files().size(), 1u);
  EXPECT_EQ(fileCase->findFile("1024jpeg601"), nullptr);
}

TEST_F(FileCaseTest, FragmentedAndWholeFilesWithEqualKeysAreBothKept) {
  FileModule::File whole = fileAt(2048, 100, "jpg");
  FileModule::File fragmented = whole;
  fragmented.attributes.setBool("fragmented", true);
  fileCase->found(whole);
  fileCase->found(fragmented);
  EXPECT_EQ(fileCase->files().size(), 2u);
}

TEST_F(FileCaseTest, OrderIsTheOrderFoundNotTheKeyOrder) {
  fileCase->found(fileAt(9000, 1, "b"));
  fileCase->found(fileAt(100, 1, "a"));
  fileCase->found(fileAt(9000, 1, "b"));
  fileCase->found(fileAt(50000, 1, "c"));
  EXPECT_EQ(fileCase->order(), (std::vector<std::string>{"9000b1", "100a1", "50000c1"}));
  EXPECT_EQ(fileCase->files().begin()->first, "100a1");
}

TEST_F(FileCaseTest, NoReaderYet) {
  EXPECT_EQ(errorOf([&] { fileCase->reader(); }), "FileCase(54)");
  EXPECT_EQ(errorOf([&] { fileCase->readerFor(fileAt(0, 1, "x")); }), "FileCase(79)");
  EXPECT_EQ(errorOf([&] { fileCase->setReader(nullptr); }), "FileCase(60)");
}

TEST_F(FileCaseTest, ReaderForAScannerFileIsAWindowOnTheMedium) {
  handOver();
  EXPECT_EQ(fileCase->reader(), medium);
  Reader* r = fileCase->readerFor(fileAt(5 * 512 + 10, 1000, "x"));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->size(), 1000u);
  uint8_t bytes[1000];
  ASSERT_TRUE(r->read(0, bytes, sizeof bytes));
  EXPECT_EQ(bytes[0], 5);
  EXPECT_EQ(bytes[501], 5);
  EXPECT_EQ(bytes[502], 6);
  EXPECT_FALSE(r->read(1, bytes, 1000));
}

TEST_F(FileCaseTest, ReaderForIsCutAtTheMediumEndAndRefusedBeyondIt) {
  handOver();
  Reader* r = fileCase->readerFor(fileAt(63 * 512, 5000, "x"));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->size(), 512u);

  DebugLogCapture log;
  EXPECT_EQ(fileCase->readerFor(fileAt(64 * 512, 10, "x")), nullptr);
  EXPECT_NE(log.text().find("FileCase(81): 32768 10"), std::string::npos);
  EXPECT_EQ(fileCase->readerFor(fileAt(UINT64_MAX - 1, 10, "x")), nullptr);
}

TEST_F(FileCaseTest, ReaderForAnUnknownFileSystemIndex) {
  handOver();
  DebugLogCapture log;
  FileModule::File f = fileAt(512, 10, "jpg");
  f.attributes.setInt32("fs", 3);
  EXPECT_EQ(fileCase->readerFor(f), nullptr);
  EXPECT_NE(log.text().find("FileCase(87): 3 0"), std::string::npos);
  f.attributes.setInt32("fs", -7);
  EXPECT_EQ(fileCase->readerFor(f), nullptr);
}

TEST_F(FileCaseTest, SetReaderEmptiesTheCaseButKeepsRegistryAndCallback) {
  AddedRecorder recorder;
  fileCase->setCallback(&recorder);
  handOver();
  fileCase->found(fileAt(0, 10, "a"));
  FileModule* jpeg = fileCase->registry()->findModule("jpeg");
  fileCase->setReader(new MemoryReader(uint64_t(1024)));
  EXPECT_TRUE(fileCase->files().empty());
  EXPECT_TRUE(fileCase->order().empty());
  EXPECT_EQ(fileCase->reader()->size(), 1024u);
  EXPECT_EQ(fileCase->registry()->findModule("jpeg"), jpeg);
  fileCase->found(fileAt(0, 10, "a"));
  EXPECT_EQ(recorder.keys.size(), 2u);
}

TEST_F(FileCaseTest, FileSystemPatternsKeepTheLastRecordOfAType) {
  const PatternMap& map = fileCase->fileSystemPatterns();
  ASSERT_EQ(map.size(), 2u);
  ASSERT_EQ(map.count("dir"), 1u);
  EXPECT_EQ(map.at("dir").maxSize(), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(map.at("dir").bytes()), map.at("dir").length()), "SECOND");
}

TEST(FileCaseConstruction, MissingFsScannerCfgFailsTheConstruction) {
  TempDir empty;
  ConfigRecord config;
  config.set("Program Path", empty.path());
  DebugLogCapture log;
  EXPECT_EQ(errorOf([&] { FileCase c(config, allFileSystems()); }), "PatternsFile(17)");
  EXPECT_NE(log.text().find(empty.path() + "/FsScanner.cfg"), std::string::npos);
}

TEST(FileCaseConstruction, InstalledFsScannerCfgLoads) {
  std::string installed = std::string(MZK_SOURCE_DIR) + "/data/FsScanner.cfg";
  if (readBytes(installed).empty()) GTEST_SKIP() << "no FsScanner.cfg installed yet";
  TempDir dir;
  ASSERT_TRUE(run("cp '" + installed + "' '" + dir.path() + "/'"));
  ConfigRecord config;
  config.set("Program Path", dir.path());
  EXPECT_NO_THROW(FileCase c(config, allFileSystems()));
}

TEST(FileCaseConstruction, InstalledScannerCfgResolvesEveryModuleInTheCaseRegistry) {
  TempDir dir;
  dir.write("FsScanner.cfg", "");
  ConfigRecord config;
  config.set("Program Path", dir.path());
  FileCase fileCase(config, allFileSystems());
  PatternTable table;
  loadPatterns(std::string(MZK_SOURCE_DIR) + "/data/Scanner.cfg", *fileCase.registry(), table);
  ASSERT_FALSE(table.empty());
  const Pattern& first = table.front();
  EXPECT_EQ(first.type(), "jpeg");
  EXPECT_EQ(first.analyzeModule(), fileCase.registry()->findModule("jpeg"));
  EXPECT_EQ(first.maxSize(), 50000000u);
  uint8_t sector[512] = {0xFF, 0xD8, 0xFF, 0xE0};
  EXPECT_TRUE(first.matches(sector, 512));
  sector[1] = 0xD9;
  EXPECT_FALSE(first.matches(sector, 512));
}

// A FAT image made by mkfs.vfat and mtools: the boot sector met by the scan
// opens the volume, its files carry "fs", and readerFor follows the chain.
TEST(FileCaseFileSystems, FilesOfAFatVolumeAreReadThroughTheirVolume) {
  if (!run("command -v mkfs.vfat") || !run("command -v mcopy"))
    GTEST_SKIP() << "dosfstools or mtools are not installed";
  TempDir dir;
  std::string image = dir.file("card.img");
  std::string payload;
  for (int i = 0; i < 5000; ++i) payload += static_cast<char>('a' + i % 26);
  dir.write("NOTE.TXT", payload);
  ASSERT_TRUE(run("mkfs.vfat -C '" + image + "' 4096"));
  ASSERT_TRUE(run("mcopy -i '" + image + "' '" + dir.file("NOTE.TXT") + "' ::NOTE.TXT"));
  ASSERT_TRUE(run("cp '" MZK_SOURCE_DIR "/data/Scanner.cfg' '" MZK_SOURCE_DIR "/data/FsScanner.cfg' '" +
                  dir.path() + "/'"));
  ConfigRecord config;
  config.set("Program Path", dir.path());
  FileCase fileCase(config, allFileSystems());
  std::vector<uint8_t> bytes = readBytes(image);
  fileCase.setReader(new MemoryReader(bytes));
  runScan(fileCase, config, nullptr);
  ASSERT_EQ(fileCase.volumeCount(), 1u);

  const FileModule::File* note = nullptr;
  for (const std::string& key : fileCase.order()) {
    const FileModule::File* f = fileCase.findFile(key);
    if (f->attributes.getString("fn") == "NOTE.TXT") note = f;
  }
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->attributes.getInt32("fs", -1), 0);
  EXPECT_EQ(note->size, payload.size());
  Reader* reader = fileCase.readerFor(*note);
  ASSERT_NE(reader, nullptr);
  std::string back(payload.size(), '\0');
  ASSERT_TRUE(reader->read(0, &back[0], back.size()));
  EXPECT_EQ(back, payload);

  // An offset that is no cluster of the volume: the volume gives no reader.
  FileModule::File stray = *note;
  stray.offset = 1;
  DebugLogCapture log;
  EXPECT_EQ(fileCase.readerFor(stray), nullptr);
  EXPECT_NE(log.text().find("FileCase(92): 0 1 5000"), std::string::npos);
}

}  // namespace
