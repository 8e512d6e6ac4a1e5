// FileReader: pieces, empty files, unreadable ranges, refusal and cancel.

#include "recover/FileReader.h"

#include <gtest/gtest.h>

#include "shell/DebugLog.h"
#include "tests/recover/RecoverFixtures.h"

namespace {

// Collects what it is given; can refuse the n-th piece.
class CollectingReader : public FileReader {
 public:
  bool consume(const void* buffer, uint64_t size) override {
    pieces.push_back(size);
    if (pieces.size() == refusePiece) return false;
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    bytes.insert(bytes.end(), p, p + size);
    return true;
  }
  std::vector<uint64_t> pieces;
  std::vector<uint8_t> bytes;
  size_t refusePiece = 0;
};

std::vector<uint8_t> slice(const std::vector<uint8_t>& v, size_t from, size_t length) {
  return std::vector<uint8_t>(v.begin() + from, v.begin() + from + length);
}

}  // namespace

TEST(FileReaderPieces, FileOf32769BytesComesInTwoPiecesAndExact) {
  auto medium = patternBytes(100000);
  CaseOverMemory c(medium);
  CollectingReader reader;
  ASSERT_TRUE(reader.readFile(c.fileCase(), foundFile(1024, 32769)));
  EXPECT_EQ(reader.pieces, (std::vector<uint64_t>{32768, 1}));
  EXPECT_EQ(reader.bytes, slice(medium, 1024, 32769));
  EXPECT_EQ(reader.unreadableBytes(), 0u);
}

TEST(FileReaderPieces, LargeFileIsReadFrontToBackInFullPieces) {
  auto medium = patternBytes(300000);
  CaseOverMemory c(medium);
  CollectingReader reader;
  ASSERT_TRUE(reader.readFile(c.fileCase(), foundFile(512, 3 * 32768 + 100)));
  EXPECT_EQ(reader.pieces, (std::vector<uint64_t>{32768, 32768, 32768, 100}));
  EXPECT_EQ(reader.bytes, slice(medium, 512, 3 * 32768 + 100));
}

TEST(FileReaderPieces, FileCutAtTheEndOfTheMediumReadsWhatIsThere) {
  // The window of a scanner file is cut at the end of the medium.
  auto medium = patternBytes(5000);
  CaseOverMemory c(medium);
  CollectingReader reader;
  FileModule::File file = foundFile(4096, 904);
  ASSERT_TRUE(reader.readFile(c.fileCase(), file));
  EXPECT_EQ(reader.bytes, slice(medium, 4096, 904));
}

TEST(FileReaderEmpty, SizeZeroSucceedsWithoutReadingOrConsuming) {
  CaseOverMemory c(patternBytes(4096));
  CollectingReader reader;
  ASSERT_TRUE(reader.readFile(c.fileCase(), foundFile(512, 0)));
  EXPECT_TRUE(reader.pieces.empty());
  EXPECT_EQ(c.memory().reads, 0u);
}

TEST(FileReaderEmpty, EmptyFatFileWithoutAPlaceOnTheMediumSucceeds) {
  // A FAT entry with first cluster 0: offset 2^64-1, a file system index
  // that the case does not even have.
  CaseOverMemory c(patternBytes(4096));
  FileModule::File file = foundFile(UINT64_MAX, 0);
  file.attributes.setInt32("fs", 0);
  CollectingReader reader;
  EXPECT_TRUE(reader.readFile(c.fileCase(), file));
  EXPECT_FALSE(reader.hadNoReader());
}

TEST(FileReaderUnreadable, BadSectorBecomesZerosAndIsCountedAlone) {
  auto medium = patternBytes(200000);
  CaseOverMemory c(medium);
  c.faults().failRange(4096 + 33000, 10);  // inside sector 64 of the file's second piece
  DebugLogCapture log;
  CollectingReader reader;
  ASSERT_TRUE(reader.readFile(c.fileCase(), foundFile(4096, 70000)));
  ASSERT_EQ(reader.bytes.size(), 70000u);
  // Only the one sector of the file that holds the bad bytes is lost.
  uint64_t badStart = 33000 / 512 * 512;
  EXPECT_EQ(reader.unreadableBytes(), 512u);
  ASSERT_EQ(reader.unreadable().size(), 1u);
  EXPECT_EQ(reader.unreadable()[0].first, badStart);
  EXPECT_EQ(reader.unreadable()[0].second, 512u);
  for (size_t i = 0; i < 70000; ++i) {
    uint8_t want = (i >= badStart && i < badStart + 512) ? 0 : medium[4096 + i];
    ASSERT_EQ(reader.bytes[i], want) << "at " << i;
  }
  EXPECT_NE(log.text().find("FileReader(24): " + std::to_string(badStart) + " 512\n"), std::string::npos);
}

TEST(FileReaderUnreadable, RangeAcrossPiecesIsOneMergedRange) {
  auto medium = patternBytes(200000);
  CaseOverMemory c(medium);
  c.faults().failRange(32768 - 1024, 2048);  // file at 0: the last 2 sectors of piece 1, first 2 of piece 2
  CollectingReader reader;
  ASSERT_TRUE(reader.readFile(c.fileCase(), foundFile(0, 65536)));
  EXPECT_EQ(reader.unreadableBytes(), 2048u);
  ASSERT_EQ(reader.unreadable().size(), 1u);
  EXPECT_EQ(reader.unreadable()[0].first, 32768u - 1024);
  EXPECT_EQ(reader.unreadable()[0].second, 2048u);
}

TEST(FileReaderUnreadable, CountsStartAfreshForEachFile) {
  auto medium = patternBytes(200000);
  CaseOverMemory c(medium);
  c.faults().failRange(0, 512);
  CollectingReader reader;
  ASSERT_TRUE(reader.readFile(c.fileCase(), foundFile(0, 1000)));
  EXPECT_EQ(reader.unreadableBytes(), 512u);
  ASSERT_TRUE(reader.readFile(c.fileCase(), foundFile(1024, 1000)));
  EXPECT_EQ(reader.unreadableBytes(), 0u);
  EXPECT_TRUE(reader.unreadable().empty());
}

TEST(FileReaderUnreadable, WholeFileUnreadableIsAllZerosAndAllCounted) {
  CaseOverMemory c(patternBytes(10000));
  c.faults().vanishAfter(0);
  CollectingReader reader;
  ASSERT_TRUE(reader.readFile(c.fileCase(), foundFile(512, 1500)));
  EXPECT_EQ(reader.bytes, std::vector<uint8_t>(1500, 0));
  EXPECT_EQ(reader.unreadableBytes(), 1500u);
}

TEST(FileReaderRefusal, NoReaderForTheFileFailsWithItsLogLine) {
  CaseOverMemory c(patternBytes(4096));
  DebugLogCapture log;
  CollectingReader reader;
  EXPECT_FALSE(reader.readFile(c.fileCase(), foundFile(4096, 10)));  // at the end of the medium
  EXPECT_TRUE(reader.hadNoReader());
  EXPECT_TRUE(reader.pieces.empty());
  EXPECT_NE(log.text().find("FileReader(11)"), std::string::npos);
}

TEST(FileReaderRefusal, RefusedPieceStopsTheRead) {
  CaseOverMemory c(patternBytes(200000));
  DebugLogCapture log;
  CollectingReader reader;
  reader.refusePiece = 2;
  EXPECT_FALSE(reader.readFile(c.fileCase(), foundFile(0, 4 * 32768)));
  EXPECT_EQ(reader.pieces.size(), 2u);
  EXPECT_FALSE(reader.hadNoReader());
  EXPECT_NE(log.text().find("FileReader(29): 32768 32768\n"), std::string::npos);
}

TEST(FileReaderCancel, CheckRunsAroundEveryPieceAndItsExceptionEndsTheRead) {
  CaseOverMemory c(patternBytes(200000));
  ProgressRecorder progress;
  CollectingReader reader;
  reader.setCallback(&progress);
  ASSERT_TRUE(reader.readFile(c.fileCase(), foundFile(0, 3 * 32768)));
  EXPECT_EQ(progress.checks, 6u);

  ProgressRecorder stopping;
  stopping.stopAfter = 3;  // before the second piece is consumed
  CollectingReader cancelled;
  cancelled.setCallback(&stopping);
  EXPECT_THROW(cancelled.readFile(c.fileCase(), foundFile(0, 3 * 32768)), InterruptedException);
  EXPECT_EQ(cancelled.pieces.size(), 1u);
}

TEST(FileReaderCancel, WithoutCallbackNothingInterrupts) {
  CaseOverMemory c(patternBytes(200000));
  CollectingReader reader;
  EXPECT_FALSE(reader.hasCallback());
  EXPECT_TRUE(reader.readFile(c.fileCase(), foundFile(0, 100000)));
}
