// FileReader: pieces, unreadable ranges zero-filled and counted, empty
// files, refusal and cancel.

#include "recover/FileReader.h"

#include <gtest/gtest.h>

#include "tests/recover/RecoverFixtures.h"

using mzktest::randomBytes;

namespace {

// Collects what it is given; can refuse the n-th piece.
class CollectingReader : public FileReader {
 public:
  bool consume(const void* buffer, uint64_t size) override {
    pieces += (pieces.empty() ? "" : " ") + std::to_string(size);
    if (++count == refusePiece) return false;
    bytes.append(static_cast<const char*>(buffer), size);
    return true;
  }
  std::string unreadableText() const {
    std::string text;
    for (const auto& r : unreadable()) text += (text.empty() ? "" : " ") + std::to_string(r.first) + "+" + std::to_string(r.second);
    return text;
  }
  std::string pieces, bytes;
  size_t count = 0, refusePiece = 0;
};

}  // namespace

TEST(FileReader, PiecesAndUnreadableRanges) {
  const std::string medium = randomBytes(200000, 1);
  const struct {
    uint64_t offset, size;
    std::vector<std::pair<uint64_t, uint64_t>> bad;
    const char* pieces;
    const char* unreadable;
  } cases[] = {
      {1024, 32769, {}, "32768 1", ""},
      {512, 3 * 32768 + 100, {}, "32768 32768 32768 100", ""},
      // Only the sector of the file that holds the bad bytes is lost.
      {4096, 70000, {{4096 + 33000, 10}}, "32768 32768 4464", "32768+512"},
      // A range over two pieces is one range.
      {0, 65536, {{32768 - 1024, 2048}}, "32768 32768", "31744+2048"},
      {0, 1536, {{0, 1}, {1100, 1}}, "1536", "0+512 1024+512"},
      {512, 1500, {{0, 200000}}, "1500", "0+1500"},
  };
  for (const auto& c : cases) {
    CaseOverMemory m(medium);
    for (const auto& r : c.bad) m.faults().failRange(r.first, r.second);
    CollectingReader reader;
    ASSERT_TRUE(reader.readFile(m.fileCase(), foundFile(c.offset, c.size))) << c.offset;
    EXPECT_EQ(c.pieces, reader.pieces) << c.offset;
    EXPECT_EQ(c.unreadable, reader.unreadableText()) << c.offset;
    std::string expected = medium.substr(c.offset, c.size);
    uint64_t zeros = 0;
    for (const auto& r : reader.unreadable()) {
      expected.replace(r.first, r.second, std::string(r.second, '\0'));
      zeros += r.second;
    }
    EXPECT_TRUE(expected == reader.bytes) << c.offset << ": unreadable parts are zeros, the rest exact";
    EXPECT_EQ(zeros, reader.unreadableBytes());
  }
}

TEST(FileReader, CountsStartAfreshForEachFile) {
  CaseOverMemory m(randomBytes(10000, 1));
  m.faults().failRange(0, 512);
  CollectingReader reader;
  ASSERT_TRUE(reader.readFile(m.fileCase(), foundFile(0, 1000)));
  EXPECT_EQ(512u, reader.unreadableBytes());
  ASSERT_TRUE(reader.readFile(m.fileCase(), foundFile(1024, 1000)));
  EXPECT_EQ(0u, reader.unreadableBytes());
  EXPECT_TRUE(reader.unreadable().empty());
}

TEST(FileReader, EmptyFilesNeedNoReaderAndNoPlace) {
  CaseOverMemory m(randomBytes(4096, 1));
  CollectingReader reader;
  ASSERT_TRUE(reader.readFile(m.fileCase(), foundFile(512, 0)));
  // A FAT entry with first cluster 0: offset 2^64-1 on a volume the case
  // does not even have.
  FileModule::File fat = foundFile(UINT64_MAX, 0);
  fat.attributes.setInt32("fs", 0);
  ASSERT_TRUE(reader.readFile(m.fileCase(), fat));
  EXPECT_FALSE(reader.hadNoReader());
  EXPECT_EQ("", reader.pieces);
  EXPECT_EQ(0u, m.memory().reads);
}

TEST(FileReader, NoReaderOrARefusedPieceFailsTheRead) {
  CaseOverMemory m(randomBytes(200000, 1));
  CollectingReader reader;
  EXPECT_FALSE(reader.readFile(m.fileCase(), foundFile(200000, 10)));
  EXPECT_TRUE(reader.hadNoReader());
  EXPECT_EQ("", reader.pieces);
  reader.refusePiece = 2;
  EXPECT_FALSE(reader.readFile(m.fileCase(), foundFile(0, 4 * 32768)));
  EXPECT_EQ("32768 32768", reader.pieces);
  EXPECT_FALSE(reader.hadNoReader());
}

TEST(FileReader, CheckRunsAroundEveryPieceAndItsExceptionEndsTheRead) {
  CaseOverMemory m(randomBytes(200000, 1));
  ProgressRecorder progress;
  CollectingReader reader;
  reader.setCallback(&progress);
  ASSERT_TRUE(reader.readFile(m.fileCase(), foundFile(0, 3 * 32768)));
  EXPECT_EQ(6u, progress.checks);
  progress.checks = 0;
  progress.stopAfter = 3;  // before the second piece is consumed
  CollectingReader cancelled;
  cancelled.setCallback(&progress);
  EXPECT_THROW(cancelled.readFile(m.fileCase(), foundFile(0, 3 * 32768)), InterruptedException);
  EXPECT_EQ("32768", cancelled.pieces);
}
