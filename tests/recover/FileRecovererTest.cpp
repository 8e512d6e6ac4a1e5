// FileRecoverer: names, contents, never overwriting, failure questions,
// honest counts, the medium guard.

#include "recover/FileRecoverer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "tests/recover/RecoverFixtures.h"

using namespace mzktest;

namespace {

FileModule::File named(uint64_t offset, uint64_t size, const std::string& fn) {
  FileModule::File file = foundFile(offset, size, "jpg");
  file.attributes.set("fn", fn);
  return file;
}

}  // namespace

TEST(FileRecovererNames, OffsetSizeFragmentMarkAndTypeMadeSafe) {
  FileModule::File fragmented = foundFile(8192, 300, "jpg");
  fragmented.attributes.setBool("fragmented", true);
  const std::pair<FileModule::File, const char*> cases[] = {
      {foundFile(1048576, 2000000), "/out/1048576-2000000.jpeg"},
      {fragmented, "/out/8192-300f.jpg"},
      {foundFile(0, 5, ""), "/out/0-5."},
      {foundFile(1, 2, "/../../etc/passwd"), "/out/1-2._.._.._etc_passwd"},
      {foundFile(1, 2, std::string("jp\0g", 4)), "/out/1-2.jp_g"},
      {foundFile(1, 2, "a\nb"), "/out/1-2.a_b"},
  };
  FileRecoverer r(nullptr, nullptr, nullptr, 0, "/out/");
  for (const auto& c : cases) EXPECT_EQ(c.second, r.destinationPath(c.first));
  EXPECT_EQ("Type: jpeg, Offset: 4096, Size: 10", FileRecoverer::sourceTextOf(foundFile(4096, 10)));
  EXPECT_EQ("", r.namedPath(named(4096, 10, "IMG_0001.JPG"))) << "names are kept only when asked";
  r.setKeepNames(true);
  EXPECT_EQ("/out/IMG_0001.JPG", r.namedPath(named(4096, 10, "IMG_0001.JPG")));
  EXPECT_EQ("/out/_", r.namedPath(named(4096, 10, "..")));
  EXPECT_EQ("", r.namedPath(foundFile(1, 2)));
}

TEST(FileRecovererContents, WrittenByteExactWithProgressAndDigests) {
  const std::string medium = randomBytes(200000, 1);
  CaseOverMemory m(medium);
  RecoverTempDir out;
  ProgressRecorder progress;
  FileRecoverer r(&progress, nullptr, &m.fileCase(), 70000, out.path());
  r.setHashing(true);
  ASSERT_TRUE(r.recover(foundFile(4096, 70000)));
  EXPECT_EQ(out.file("4096-70000.jpeg"), r.lastPath());
  EXPECT_TRUE(readFile(r.lastPath()) == medium.substr(4096, 70000));
  EXPECT_EQ(70000u, progress.position);
  EXPECT_EQ("Type: jpeg, Offset: 4096, Size: 70000", progress.texts[0]);
  EXPECT_EQ(out.file("4096-70000.jpeg"), progress.texts[1]);
  EXPECT_EQ(shOutput("md5sum " + quote(r.lastPath())).substr(0, 32), r.lastMd5());
  EXPECT_EQ(shOutput("sha256sum " + quote(r.lastPath())).substr(0, 64), r.lastSha256());
  struct stat st;
  ASSERT_EQ(0, stat(r.lastPath().c_str(), &st));
  EXPECT_EQ(0644u & ~0022u, st.st_mode & 0777 & ~0022u);
  // Empty files, also a FAT file without a first cluster, and a path given.
  ASSERT_TRUE(r.recover(foundFile(512, 0)));
  FileModule::File fat = foundFile(UINT64_MAX, 0, "txt");
  fat.attributes.setInt32("fs", 0);
  ASSERT_TRUE(r.recover(fat));
  ASSERT_TRUE(r.recoverTo(foundFile(0, 1000, "img"), "Raw Data, Offset: 0, Size: 1000", out.file("card.img")));
  EXPECT_EQ("Raw Data, Offset: 0, Size: 1000", progress.texts[0]);
  EXPECT_EQ((std::vector<std::string>{"18446744073709551615-0.txt", "4096-70000.jpeg", "512-0.jpeg", "card.img"}),
            out.names());
  EXPECT_EQ("", readFile(out.file("512-0.jpeg")));
  EXPECT_TRUE(readFile(out.file("card.img")) == medium.substr(0, 1000));
}

TEST(FileRecovererNoOverwrite, ClashesTakeTheNextFreeName) {
  const std::string medium = randomBytes(20000, 2);
  CaseOverMemory m(medium);
  RecoverTempDir out;
  out.write("512-2000.jpeg", "earlier");
  out.write("card", "precious");
  out.write("target", "keep");
  ASSERT_EQ(0, symlink(out.file("target").c_str(), out.file("0-100.jpeg").c_str()));
  FileRecoverer r(nullptr, nullptr, &m.fileCase(), 0, out.path());
  const std::pair<FileModule::File, const char*> cases[] = {
      {foundFile(512, 2000), "512-2000-1.jpeg"},
      {foundFile(512, 2000), "512-2000-2.jpeg"},
      {foundFile(0, 100), "0-100-1.jpeg"},  // a symbolic link is not followed
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(r.recover(c.first));
    EXPECT_EQ(out.file(c.second), r.lastPath());
  }
  ASSERT_TRUE(r.recoverTo(foundFile(0, 100), "x", out.file("card")));
  EXPECT_EQ(out.file("card-1"), r.lastPath());
  // Kept names: on a clash the offset goes before the extension.
  r.setKeepNames(true);
  for (const char* expected : {"IMG_0001.JPG", "IMG_0001-8192.JPG", "IMG_0001-8192-1.JPG"}) {
    ASSERT_TRUE(r.recover(named(8192, 100, "IMG_0001.JPG")));
    EXPECT_EQ(out.file(expected), r.lastPath());
  }
  // Data that another file also claims does not take the name.
  FileModule::File crossLinked = named(9216, 100, "OTHER.JPG");
  crossLinked.attributes.setBool("crosslinked", true);
  ASSERT_TRUE(r.recover(crossLinked));
  EXPECT_EQ(out.file("9216-100.jpg"), r.lastPath());
  EXPECT_EQ("earlier", readFile(out.file("512-2000.jpeg")));
  EXPECT_EQ("precious", readFile(out.file("card")));
  EXPECT_EQ("keep", readFile(out.file("target")));
  EXPECT_TRUE(readFile(out.file("512-2000-1.jpeg")) == medium.substr(512, 2000));
  EXPECT_TRUE(readFile(out.file("IMG_0001-8192.JPG")) == medium.substr(8192, 100));
}

TEST(FileRecovererFailures, QuestionsAnswersAndWhatIsLeftBehind) {
  CaseOverMemory m(randomBytes(10000, 1));
  RecoverTempDir out;
  // Yes goes on, and the next failure asks again.
  ScriptedQuestions yes({0, 0});
  std::string missing = out.file("no/such/folder");
  FileRecoverer r(nullptr, &yes, &m.fileCase(), 0, missing);
  EXPECT_FALSE(r.recover(foundFile(4096, 10)));
  EXPECT_FALSE(r.recover(foundFile(4096, 10)));
  EXPECT_EQ(FileRecoverer::CannotCreate, r.lastFailure());
  ASSERT_EQ(2u, yes.asked.size());
  EXPECT_EQ("Cannot recover file\nSource: Type: jpeg, Offset: 4096, Size: 10\nDestination: " + missing +
                "/4096-10.jpeg\n\nDo you want to continue?",
            yes.asked[0]);
  EXPECT_EQ(Questions::Question, yes.kinds[0]);
  // Yes to all silences the later failures.
  ScriptedQuestions all({Questions::Checked});
  FileRecoverer quiet(nullptr, &all, &m.fileCase(), 0, missing);
  for (uint64_t at : {0, 512, 1024}) EXPECT_FALSE(quiet.recover(foundFile(at, 10)));
  EXPECT_EQ(1u, all.asked.size());
  // No stops the command; the files before it stay, and a file that could
  // not be read at all leaves no empty decoy.
  ScriptedQuestions no({Questions::NotYes});
  FileRecoverer stopping(nullptr, &no, &m.fileCase(), 0, out.path());
  ASSERT_TRUE(stopping.recover(foundFile(0, 10)));
  EXPECT_THROW(stopping.recover(foundFile(20000, 10)), InterruptedException);
  EXPECT_EQ(FileRecoverer::NoReader, stopping.lastFailure());
  EXPECT_EQ(std::vector<std::string>{"0-10.jpeg"}, out.names());
}

TEST(FileRecovererFailures, AWriteFailurePartWayRemovesTheFileAndAsks) {
  CaseOverMemory m(randomBytes(200000, 1));
  RecoverTempDir out;
  ScriptedQuestions questions({0});
  FileRecoverer r(nullptr, &questions, &m.fileCase(), 0, out.path());
  // A file-size limit makes the disk "full" after 40000 bytes.
  struct rlimit old, small;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
  small = old;
  small.rlim_cur = 40000;
  void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
  bool ok = r.recover(foundFile(0, 100000));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(ok);
  EXPECT_EQ(FileRecoverer::CannotWrite, r.lastFailure());
  EXPECT_EQ(1u, questions.asked.size());
  EXPECT_TRUE(out.names().empty()) << "nothing incomplete is left";
  EXPECT_EQ(40000u, r.bytesWritten());
}

TEST(FileRecovererFailures, CancelInTheProgressPassesOutWithoutAQuestion) {
  CaseOverMemory m(randomBytes(200000, 1));
  RecoverTempDir out;
  ProgressRecorder progress;
  progress.stopAfter = 2;
  ScriptedQuestions questions;
  FileRecoverer r(&progress, &questions, &m.fileCase(), 0, out.path());
  EXPECT_THROW(r.recover(foundFile(0, 100000)), InterruptedException);
  EXPECT_TRUE(questions.asked.empty());
  EXPECT_EQ(0u, r.bytesWritten());
}

TEST(FileRecovererCounts, UnreadableBytesPerFileAndPerCommand) {
  const std::string medium = randomBytes(200000, 1);
  CaseOverMemory m(medium);
  m.faults().failRange(10000, 1);
  m.faults().failRange(50000, 600);
  RecoverTempDir out;
  FileRecoverer r(nullptr, nullptr, &m.fileCase(), 0, out.path());
  const struct {
    uint64_t offset, size, unreadable;
  } cases[] = {{9728, 1024, 512}, {1024, 1000, 0}, {49664, 2048, 1024}};  // the last: its sectors 0 and 1
  for (const auto& c : cases) {
    ASSERT_TRUE(r.recover(foundFile(c.offset, c.size)));
    EXPECT_EQ(c.unreadable, r.lastUnreadableBytes()) << c.offset;
  }
  ASSERT_EQ(1u, r.lastUnreadableRanges().size());
  EXPECT_EQ(0u, r.lastUnreadableRanges()[0].first);
  EXPECT_EQ(1536u, r.totalUnreadableBytes());
  EXPECT_EQ(2u, r.filesWithUnreadableBytes());
  EXPECT_TRUE(readFile(r.lastPath()) == std::string(1024, '\0') + medium.substr(49664 + 1024, 1024));
}

TEST(FileRecovererGuard, ADestinationOnTheMediumIsRefused) {
  CaseOverMemory m(randomBytes(10000, 1));
  RecoverTempDir out;
  struct stat st;
  ASSERT_EQ(0, stat(out.path().c_str(), &st));
  ScriptedQuestions questions({0});
  FileRecoverer r(nullptr, &questions, &m.fileCase(), 0, out.path());
  r.setMedium(mediumIdentityOf(st.st_dev, st.st_ino));  // as if the folder were on the medium
  EXPECT_FALSE(r.recover(foundFile(0, 10)));
  EXPECT_EQ(FileRecoverer::OnMedium, r.lastFailure());
  EXPECT_TRUE(out.names().empty());
  EXPECT_EQ(1u, questions.asked.size());
}

TEST(FileRecovererAhead, AFileWrittenAheadIsNamedLaterWithoutReadingTheMediumAgain) {
  const std::string medium = randomBytes(200000, 3);
  CaseOverMemory m(medium);
  m.faults().failRange(101024, 10);
  RecoverTempDir direct, ahead;
  for (RecoverTempDir* dir : {&direct, &ahead}) dir->write("IMG.JPG", "earlier");
  const FileModule::File files[] = {named(4096, 70000, "IMG.JPG"), foundFile(100000, 5000), foundFile(150000, 900)};
  FileRecoverer first(nullptr, nullptr, &m.fileCase(), 0, direct.path());
  FileRecoverer second(nullptr, nullptr, &m.fileCase(), 0, ahead.path());
  for (FileRecoverer* r : {&first, &second}) {
    r->setKeepNames(true);
    r->setHashing(true);
  }
  // Written ahead in another order than they are named in.
  for (int i : {2, 1, 0}) ASSERT_TRUE(second.writeAhead(files[i], nullptr)) << i;
  EXPECT_EQ(3u, second.writtenAheadFiles());
  EXPECT_GT(second.writtenAheadBytes(), 75000u);
  uint64_t reads = m.memory().reads;
  for (const FileModule::File& file : files) {
    ASSERT_TRUE(first.recover(file));
    std::string path = first.lastPath(), md5 = first.lastMd5(), sha = first.lastSha256();
    auto ranges = first.lastUnreadableRanges();
    uint64_t before = m.memory().reads;
    ASSERT_TRUE(second.recover(file));
    EXPECT_EQ(before, m.memory().reads) << path;
    EXPECT_EQ(ahead.file(path.substr(direct.path().size() + 1)), second.lastPath());
    EXPECT_TRUE(readFile(path) == readFile(second.lastPath())) << path;
    EXPECT_EQ(md5, second.lastMd5());
    EXPECT_EQ(sha, second.lastSha256());
    EXPECT_EQ(ranges, second.lastUnreadableRanges());
  }
  EXPECT_GT(m.memory().reads, reads) << "the direct recovery read the medium";
  EXPECT_EQ(direct.names(), ahead.names()) << "nothing hidden is left";
  EXPECT_EQ(first.totalUnreadableBytes(), second.totalUnreadableBytes());
  EXPECT_EQ(first.bytesWritten(), second.bytesWritten());
  // Not named: gone with the recoverer, or at once; a stop removes it too.
  RecoverTempDir left;
  {
    FileRecoverer r(nullptr, nullptr, &m.fileCase(), 0, left.path());
    r.setHashing(true);
    ASSERT_TRUE(r.writeAhead(files[1], nullptr));
    ASSERT_TRUE(r.writeAhead(files[2], nullptr));
    r.dropWrittenAhead();
    EXPECT_TRUE(left.names().empty());
    ASSERT_TRUE(r.writeAhead(files[2], nullptr));
    ProgressRecorder stop;
    stop.stopAfter = 2;  // after the first piece was written and hashed
    EXPECT_THROW(r.writeAhead(files[0], &stop), InterruptedException);
    // The digests of the next file are of its bytes alone.
    ASSERT_TRUE(r.recover(files[1]));
    EXPECT_EQ(shOutput("md5sum " + quote(r.lastPath())).substr(0, 32), r.lastMd5());
  }
  EXPECT_EQ(std::vector<std::string>{"100000-5000.jpeg"}, left.names());
}
