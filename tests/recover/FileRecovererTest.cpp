// FileRecoverer: names, contents, never overwriting, failure questions,
// honest counts, the medium guard.

#include "recover/FileRecoverer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>

#include "tests/support/Tools.h"
#include "shell/DebugLog.h"
#include "tests/recover/RecoverFixtures.h"

namespace {

std::string bytesText(const std::vector<uint8_t>& v, size_t from, size_t length) {
  return std::string(reinterpret_cast<const char*>(v.data()) + from, length);
}

const char kQuestion[] =
    "Cannot recover file\nSource: Type: jpeg, Offset: 4096, Size: 10\nDestination: %s\n\nDo you want to continue?";

}  // namespace

// ---- names -------------------------------------------------------------

TEST(FileRecovererNames, OffsetSizeAndType) {
  FileRecoverer r(nullptr, nullptr, nullptr, 0, "/out");
  EXPECT_EQ(r.destinationPath(foundFile(1048576, 2000000, "jpeg")), "/out/1048576-2000000.jpeg");
}

TEST(FileRecovererNames, FragmentedFileGetsTheMarkBeforeTheExtension) {
  FileRecoverer r(nullptr, nullptr, nullptr, 0, "/out/");
  FileModule::File file = foundFile(8192, 300, "jpg");
  file.attributes.setBool("fragmented", true);
  EXPECT_EQ(r.destinationPath(file), "/out/8192-300f.jpg");
  file.attributes.setBool("fragmented", false);
  EXPECT_EQ(r.destinationPath(file), "/out/8192-300.jpg");
}

TEST(FileRecovererNames, MissingTypeEndsInAFullStop) {
  FileRecoverer r(nullptr, nullptr, nullptr, 0, "out");
  EXPECT_EQ(r.destinationPath(foundFile(0, 5, "")), "out/0-5.");
}

TEST(FileRecovererNames, TypeFromTheMediumCannotLeaveTheFolder) {
  FileRecoverer r(nullptr, nullptr, nullptr, 0, "/out");
  EXPECT_EQ(r.destinationPath(foundFile(1, 2, "/../../etc/passwd")), "/out/1-2._.._.._etc_passwd");
  std::string withNul("jp\0g", 4);
  EXPECT_EQ(r.destinationPath(foundFile(1, 2, withNul)), "/out/1-2.jp_g");
  EXPECT_EQ(r.destinationPath(foundFile(1, 2, "a\nb")), "/out/1-2.a_b");
}

TEST(FileRecovererNames, SourceTextNamesTypeOffsetAndSize) {
  EXPECT_EQ(FileRecoverer::sourceTextOf(foundFile(4096, 10)), "Type: jpeg, Offset: 4096, Size: 10");
}

TEST(FileRecovererNames, KeptNameIsTheFatNameMadeSafe) {
  FileRecoverer r(nullptr, nullptr, nullptr, 0, "/out");
  FileModule::File file = foundFile(4096, 10, "jpg");
  file.attributes.set("fn", "IMG_0001.JPG");
  EXPECT_EQ(r.namedPath(file), "");  // off by default
  r.setKeepNames(true);
  EXPECT_EQ(r.namedPath(file), "/out/IMG_0001.JPG");
  file.attributes.set("fn", "..");
  EXPECT_EQ(r.namedPath(file), "/out/_");
  EXPECT_EQ(r.namedPath(foundFile(1, 2)), "");
}

// ---- contents ----------------------------------------------------------

TEST(FileRecovererContents, FileIsWrittenByteExactWithProgress) {
  auto medium = patternBytes(200000);
  CaseOverMemory c(medium);
  RecoverTempDir out;
  ProgressRecorder progress;
  FileRecoverer r(&progress, nullptr, &c.fileCase(), 70000, out.path());
  r.setHashing(true);
  FileModule::File file = foundFile(4096, 70000);
  ASSERT_TRUE(r.recover(file));
  EXPECT_EQ(r.lastPath(), out.file("4096-70000.jpeg"));
  EXPECT_EQ(readText(r.lastPath()), bytesText(medium, 4096, 70000));
  EXPECT_EQ(progress.position, 70000u);
  EXPECT_EQ(progress.texts[0], "Type: jpeg, Offset: 4096, Size: 70000");
  EXPECT_EQ(progress.texts[1], out.file("4096-70000.jpeg"));
  EXPECT_EQ(r.lastMd5(), mzktest::shOutput("md5sum " + mzktest::quote(r.lastPath())).substr(0, 32));
  EXPECT_EQ(r.lastSha256(), mzktest::shOutput("sha256sum " + mzktest::quote(r.lastPath())).substr(0, 64));
  struct stat st;
  ASSERT_EQ(stat(r.lastPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777 & ~0022, 0644u & ~0022u);
}

TEST(FileRecovererContents, SizeZeroGivesAnEmptyFile) {
  CaseOverMemory c(patternBytes(4096));
  RecoverTempDir out;
  FileRecoverer r(nullptr, nullptr, &c.fileCase(), 0, out.path());
  ASSERT_TRUE(r.recover(foundFile(512, 0)));
  EXPECT_TRUE(out.exists("512-0.jpeg"));
  EXPECT_EQ(readText(out.file("512-0.jpeg")), "");
}

TEST(FileRecovererContents, EmptyFatFileWithFirstClusterZeroGivesAnEmptyFile) {
  CaseOverMemory c(patternBytes(4096));
  RecoverTempDir out;
  FileRecoverer r(nullptr, nullptr, &c.fileCase(), 0, out.path());
  FileModule::File file = foundFile(UINT64_MAX, 0, "txt");
  file.attributes.setInt32("fs", 0);
  ASSERT_TRUE(r.recover(file));
  EXPECT_EQ(out.names(), std::vector<std::string>{"18446744073709551615-0.txt"});
  EXPECT_EQ(r.lastFailure(), FileRecoverer::NoFailure);
}

TEST(FileRecovererContents, RecoverToUsesTheGivenPath) {
  auto medium = patternBytes(10000);
  CaseOverMemory c(medium);
  RecoverTempDir out;
  ProgressRecorder progress;
  FileRecoverer r(&progress, nullptr, &c.fileCase(), 0, "/nowhere");
  ASSERT_TRUE(r.recoverTo(foundFile(0, 1000, "img"), "Raw Data, Offset: 0, Size: 1000", out.file("card.img")));
  EXPECT_EQ(readText(out.file("card.img")), bytesText(medium, 0, 1000));
  EXPECT_EQ(progress.texts[0], "Raw Data, Offset: 0, Size: 1000");
}

// ---- never overwrite ---------------------------------------------------

TEST(FileRecovererNoOverwrite, SecondRecoveryIntoTheSameFolderKeepsBothFiles) {
  auto first = patternBytes(10000, 1);
  auto second = patternBytes(10000, 2);
  RecoverTempDir out;
  {
    CaseOverMemory c(first);
    FileRecoverer r(nullptr, nullptr, &c.fileCase(), 0, out.path());
    ASSERT_TRUE(r.recover(foundFile(512, 2000)));
  }
  CaseOverMemory c(second);
  FileRecoverer r(nullptr, nullptr, &c.fileCase(), 0, out.path());
  ASSERT_TRUE(r.recover(foundFile(512, 2000)));
  EXPECT_EQ(r.lastPath(), out.file("512-2000-1.jpeg"));
  ASSERT_TRUE(r.recover(foundFile(512, 2000)));
  EXPECT_EQ(r.lastPath(), out.file("512-2000-2.jpeg"));
  EXPECT_EQ(readText(out.file("512-2000.jpeg")), bytesText(first, 512, 2000));
  EXPECT_EQ(readText(out.file("512-2000-1.jpeg")), bytesText(second, 512, 2000));
}

TEST(FileRecovererNoOverwrite, ClashWithoutExtensionAppendsTheNumber) {
  CaseOverMemory c(patternBytes(10000));
  RecoverTempDir out;
  out.write("card", "precious");
  FileRecoverer r(nullptr, nullptr, &c.fileCase(), 0, out.path());
  ASSERT_TRUE(r.recoverTo(foundFile(0, 100), "x", out.file("card")));
  EXPECT_EQ(r.lastPath(), out.file("card-1"));
  EXPECT_EQ(readText(out.file("card")), "precious");
}

TEST(FileRecovererNoOverwrite, SymlinkAtTheNameIsNotFollowed) {
  CaseOverMemory c(patternBytes(10000));
  RecoverTempDir out;
  out.write("target", "keep");
  ASSERT_EQ(symlink(out.file("target").c_str(), out.file("0-100.jpeg").c_str()), 0);
  FileRecoverer r(nullptr, nullptr, &c.fileCase(), 0, out.path());
  ASSERT_TRUE(r.recover(foundFile(0, 100)));
  EXPECT_EQ(r.lastPath(), out.file("0-100-1.jpeg"));
  EXPECT_EQ(readText(out.file("target")), "keep");
}

TEST(FileRecovererNoOverwrite, KeptNameClashPutsTheOffsetBeforeTheExtension) {
  auto medium = patternBytes(20000);
  CaseOverMemory c(medium);
  RecoverTempDir out;
  FileRecoverer r(nullptr, nullptr, &c.fileCase(), 0, out.path());
  r.setKeepNames(true);
  FileModule::File a = foundFile(1024, 100, "jpg");
  a.attributes.set("fn", "IMG_0001.JPG");
  FileModule::File b = foundFile(8192, 100, "jpg");
  b.attributes.set("fn", "IMG_0001.JPG");
  ASSERT_TRUE(r.recover(a));
  ASSERT_TRUE(r.recover(b));
  EXPECT_EQ(r.lastPath(), out.file("IMG_0001-8192.JPG"));
  ASSERT_TRUE(r.recover(b));
  EXPECT_EQ(r.lastPath(), out.file("IMG_0001-8192-1.JPG"));
  EXPECT_EQ(readText(out.file("IMG_0001.JPG")), bytesText(medium, 1024, 100));
  EXPECT_EQ(readText(out.file("IMG_0001-8192.JPG")), bytesText(medium, 8192, 100));
  // A file without a FAT name keeps the usual name.
  ASSERT_TRUE(r.recover(foundFile(512, 10)));
  EXPECT_EQ(r.lastPath(), out.file("512-10.jpeg"));
}

// ---- failures and questions --------------------------------------------

TEST(FileRecovererFailures, UncreatableOutputAsksAndYesGoesOn) {
  CaseOverMemory c(patternBytes(10000));
  RecoverTempDir out;
  ScriptedQuestions questions({0});
  DebugLogCapture log;
  std::string missing = out.file("no/such/folder");
  FileRecoverer r(nullptr, &questions, &c.fileCase(), 0, missing);
  EXPECT_FALSE(r.recover(foundFile(4096, 10)));
  EXPECT_EQ(r.lastFailure(), FileRecoverer::CannotCreate);
  ASSERT_EQ(questions.asked.size(), 1u);
  char expected[512];
  snprintf(expected, sizeof expected, kQuestion, (missing + "/4096-10.jpeg").c_str());
  EXPECT_EQ(questions.asked[0], expected);
  EXPECT_EQ(questions.kinds[0], Questions::Question);
  EXPECT_NE(log.text().find("FileRecoverer(78): " + missing + "/4096-10.jpeg"), std::string::npos);
  // Without yes-to-all the next failure asks again.
  EXPECT_FALSE(r.recover(foundFile(4096, 10)));
  EXPECT_EQ(questions.asked.size(), 2u);
}

TEST(FileRecovererFailures, YesToAllSilencesLaterFailures) {
  CaseOverMemory c(patternBytes(10000));
  RecoverTempDir out;
  ScriptedQuestions questions({Questions::Checked});
  FileRecoverer r(nullptr, &questions, &c.fileCase(), 0, out.file("missing"));
  EXPECT_FALSE(r.recover(foundFile(0, 10)));
  EXPECT_FALSE(r.recover(foundFile(512, 10)));
  EXPECT_FALSE(r.recover(foundFile(1024, 10)));
  EXPECT_EQ(questions.asked.size(), 1u);
}

TEST(FileRecovererFailures, NoStopsTheCommandAndEarlierFilesRemain) {
  CaseOverMemory c(patternBytes(10000));
  RecoverTempDir out;
  ScriptedQuestions questions({Questions::NotYes});
  FileRecoverer r(nullptr, &questions, &c.fileCase(), 0, out.path());
  ASSERT_TRUE(r.recover(foundFile(0, 10)));
  ASSERT_TRUE(r.recover(foundFile(512, 10)));
  EXPECT_THROW(r.recover(foundFile(20000, 10)), InterruptedException);  // no reader
  EXPECT_EQ(questions.asked.size(), 1u);
  EXPECT_EQ(out.names(), (std::vector<std::string>{"0-10.jpeg", "512-10.jpeg"}));
}

TEST(FileRecovererFailures, NoReaderLeavesNoEmptyFileBehind) {
  CaseOverMemory c(patternBytes(4096));
  RecoverTempDir out;
  DebugLogCapture log;
  FileRecoverer r(nullptr, nullptr, &c.fileCase(), 0, out.path());
  EXPECT_FALSE(r.recover(foundFile(4096, 10)));
  EXPECT_EQ(r.lastFailure(), FileRecoverer::NoReader);
  EXPECT_TRUE(out.names().empty());
  std::string text = log.text();
  EXPECT_LT(text.find("FileReader(11)"), text.find("FileRecoverer(111)"));
}

TEST(FileRecovererFailures, WriteFailurePartWayRemovesTheFileAndAsks) {
  CaseOverMemory c(patternBytes(200000));
  RecoverTempDir out;
  ScriptedQuestions questions({0});
  DebugLogCapture log;
  FileRecoverer r(nullptr, &questions, &c.fileCase(), 0, out.path());
  // A file-size limit makes the disk "full" after 40000 bytes.
  struct rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit small = old;
  small.rlim_cur = 40000;
  void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool ok = r.recover(foundFile(0, 100000));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(ok);
  EXPECT_EQ(r.lastFailure(), FileRecoverer::CannotWrite);
  EXPECT_EQ(questions.asked.size(), 1u);
  EXPECT_TRUE(out.names().empty()) << "nothing incomplete is left";
  EXPECT_EQ(r.bytesWritten(), 40000u);
  std::string text = log.text();
  size_t write = text.find("FileRecoverer(98)");
  size_t piece = text.find("FileReader(29)");
  size_t file = text.find("FileRecoverer(111)");
  ASSERT_NE(write, std::string::npos);
  EXPECT_LT(write, piece);
  EXPECT_LT(piece, file);
  EXPECT_NE(file, std::string::npos);
}

TEST(FileRecovererCancel, CancelInTheProgressPassesOut) {
  CaseOverMemory c(patternBytes(200000));
  RecoverTempDir out;
  ProgressRecorder progress;
  progress.stopAfter = 2;
  ScriptedQuestions questions;
  FileRecoverer r(&progress, &questions, &c.fileCase(), 0, out.path());
  EXPECT_THROW(r.recover(foundFile(0, 100000)), InterruptedException);
  EXPECT_TRUE(questions.asked.empty());
  EXPECT_EQ(r.bytesWritten(), 0u);
}

// ---- honest counts -----------------------------------------------------

TEST(FileRecovererCounts, UnreadableBytesAreCountedPerFileAndPerCommand) {
  auto medium = patternBytes(200000);
  CaseOverMemory c(medium);
  c.faults().failRange(10000, 1);
  c.faults().failRange(50000, 600);
  RecoverTempDir out;
  FileRecoverer r(nullptr, nullptr, &c.fileCase(), 0, out.path());
  ASSERT_TRUE(r.recover(foundFile(9728, 1024)));  // one bad sector of the file
  EXPECT_EQ(r.lastUnreadableBytes(), 512u);
  ASSERT_EQ(r.lastUnreadableRanges().size(), 1u);
  EXPECT_EQ(r.lastUnreadableRanges()[0].first, 0u);
  ASSERT_TRUE(r.recover(foundFile(1024, 1000)));  // clean
  EXPECT_EQ(r.lastUnreadableBytes(), 0u);
  ASSERT_TRUE(r.recover(foundFile(49664, 2048)));  // bytes 50000..50600: sectors 0 and 1 of the file
  EXPECT_EQ(r.lastUnreadableBytes(), 1024u);
  EXPECT_EQ(r.totalUnreadableBytes(), 1536u);
  EXPECT_EQ(r.filesWithUnreadableBytes(), 2u);
  std::string written = readText(r.lastPath());
  EXPECT_EQ(written.substr(0, 1024), std::string(1024, '\0'));
  EXPECT_EQ(written.substr(1024), bytesText(medium, 49664 + 1024, 1024));
}

// ---- the medium guard --------------------------------------------------

TEST(FileRecovererGuard, DestinationOnTheMediumIsRefused) {
  CaseOverMemory c(patternBytes(10000));
  RecoverTempDir out;
  struct stat st;
  ASSERT_EQ(stat(out.path().c_str(), &st), 0);
  ScriptedQuestions questions({0});
  FileRecoverer r(nullptr, &questions, &c.fileCase(), 0, out.path());
  // Pretend the destination folder is the medium.
  r.setMedium(mediumIdentityOf(st.st_dev, st.st_ino));
  EXPECT_FALSE(r.recover(foundFile(0, 10)));
  EXPECT_EQ(r.lastFailure(), FileRecoverer::OnMedium);
  EXPECT_TRUE(out.names().empty());
  EXPECT_EQ(questions.asked.size(), 1u);
}
