// Files put together from pieces, as the case and the recoverer handle
// them: read back along their runs, described by their runs in the report,
// and files not proven whole written only on request, named so.

#include <gtest/gtest.h>

#include "RecoverFixtures.h"
#include "engine/RebuiltFile.h"
#include "recover/DfxmlReport.h"
#include "recover/FileRecoverer.h"

namespace {

std::string patternBytes(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = char(i * 7 + i / 256);
  return s;
}

FileModule::File rebuiltFile(uint64_t offset, uint64_t size, const char* way, bool partial = false) {
  FileModule::File file = foundFile(offset, size);
  file.attributes.setBool("fragmented", true);
  file.attributes.set(kRebuiltKey, way);
  if (partial) file.attributes.setBool(kPartialKey, true);
  return file;
}

}  // namespace

TEST(RebuiltFiles, AreReadAlongTheirRunsAndReportedByThem) {
  const std::string medium = patternBytes(64 * 1024);
  CaseOverMemory c(medium);
  const ByteRuns runs = {{0, 4096, 1000}, {1000, 20480, 3000}, {4000, 8192, 96}};
  FileModule::File file = rebuiltFile(4096, 4096, kRebuiltReassembled);
  c.fileCase().foundRebuilt(file, runs);
  // A later report of the same key, with other runs, does not replace them.
  c.fileCase().foundRebuilt(file, {{0, 0, 4096}});
  Reader* reader = c.fileCase().readerFor(file);
  ASSERT_NE(nullptr, reader);
  std::string bytes(4096, '\0');
  ASSERT_TRUE(reader->read(0, &bytes[0], bytes.size()));
  EXPECT_TRUE(bytes == medium.substr(4096, 1000) + medium.substr(20480, 3000) + medium.substr(8192, 96));
  ByteRuns reported = c.fileCase().byteRunsFor(file);
  ASSERT_EQ(3u, reported.size());
  EXPECT_EQ(20480u, reported[1].imageOffset);
  // Runs that reach past the medium give no reader: the file cannot be read whole.
  FileModule::File beyond = rebuiltFile(8192, 5000, kRebuiltReassembled);
  c.fileCase().foundRebuilt(beyond, {{0, 8192, 1000}, {1000, 63 * 1024, 4000}});
  EXPECT_EQ(nullptr, c.fileCase().readerFor(beyond));
}

TEST(RebuiltFiles, HowEachWasPutTogetherFollowsItsOrigin) {
  struct Case {
    int32_t fs;
    bool deleted;
    const char* attribute;  // nullptr: none
    const char* way;
    const char* plain;
  } cases[] = {
      {-1, false, nullptr, "contiguous", "contiguous"},
      {0, false, nullptr, "chain", "chain"},
      {0, true, nullptr, "free-run", "free-run"},
      {0, true, "free-skipping-used", "free-skipping-used", "free-run"},
      {-1, false, "reassembled", "reassembled", "contiguous"},
  };
  for (const Case& c : cases) {
    FileModule::File file = foundFile(0, 10);
    if (c.fs >= 0) file.attributes.setInt32("fs", c.fs);
    file.attributes.setBool("deleted", c.deleted);
    if (c.attribute) file.attributes.set(kRebuiltKey, c.attribute);
    EXPECT_EQ(c.way, rebuiltOf(file));
    EXPECT_EQ(c.plain, plainRebuiltOf(file));
    EXPECT_EQ(c.way, reportedFileOf(file).rebuilt);
  }
}

TEST(RebuiltFiles, APartialFileIsWrittenOnlyOnRequestUnderANameThatSaysSo) {
  const std::string medium = patternBytes(32 * 1024);
  RecoverTempDir out;
  struct Case {
    bool partial, keepPartial, keepNames;
    const char* written;  // nullptr: refused
  } cases[] = {
      {false, false, false, "1024-2000f.jpeg"},
      {true, false, false, nullptr},
      {true, true, false, "1024-2000f-partial.jpeg"},
      {true, true, true, "IMG_0001-partial.JPG"},
  };
  for (const Case& c : cases) {
    CaseOverMemory m(medium);
    FileModule::File file = rebuiltFile(1024, 2000, kRebuiltReassembled, c.partial);
    file.attributes.set("fn", "IMG_0001.JPG");
    m.fileCase().foundRebuilt(file, {{0, 1024, 2000}});
    std::string folder = out.file(std::to_string(&c - cases));
    FileRecoverer recoverer(nullptr, nullptr, &m.fileCase(), 2000, folder);
    recoverer.setKeepPartial(c.keepPartial);
    recoverer.setKeepNames(c.keepNames);
    ASSERT_EQ(0, mkdir(folder.c_str(), 0700));
    EXPECT_EQ(c.written != nullptr, recoverer.recover(file));
    if (!c.written) {
      EXPECT_EQ(FileRecoverer::NotWhole, recoverer.lastFailure());
      EXPECT_TRUE(mzktest::namesIn(folder).empty());
      continue;
    }
    EXPECT_EQ(std::vector<std::string>{c.written}, mzktest::namesIn(folder));
    EXPECT_TRUE(mzktest::readFile(folder + "/" + c.written) == medium.substr(1024, 2000));
  }
}
