// The debug log of the recovery, pinned for a representative run: the
// lines and their tags are what a support request is diagnosed from, so
// they change only on purpose.  Other tests check behaviour, not the log.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "recover/FileRecoverer.h"
#include "shell/DebugLog.h"
#include "tests/recover/RecoverFixtures.h"

TEST(RecoverLog, TheTrailOfARepresentativeRun) {
  CaseOverMemory m(mzktest::randomBytes(100000, 1));
  m.faults().failRange(5000, 1);
  m.faults().failRange(6100, 1);
  RecoverTempDir out;
  FileRecoverer r(nullptr, nullptr, &m.fileCase(), 0, out.path());
  FileRecoverer nowhere(nullptr, nullptr, &m.fileCase(), 0, out.file("missing"));
  FileRecoverer onMedium(nullptr, nullptr, &m.fileCase(), 0, out.path());
  struct stat st;
  ASSERT_EQ(0, stat(out.path().c_str(), &st));
  onMedium.setMedium(mediumIdentityOf(st.st_dev, st.st_ino));

  DebugLogCapture log;
  r.recover(foundFile(4096, 4096));       // two unreadable sectors
  r.recover(foundFile(100000, 10));       // past the medium's end
  nowhere.recover(foundFile(0, 10));      // a folder that does not exist
  onMedium.recover(foundFile(0, 10));     // the medium's own folder
  std::string text = log.text();
  for (size_t at; (at = text.find(out.path())) != std::string::npos;) text.replace(at, out.path().size(), "OUT");
  EXPECT_EQ(
      "ReaderReader(34): 0 4096 4096\n"
      "ReaderReader(34): 512 4096 512\n"
      "FileReader(24): 512 512\n"
      "ReaderReader(34): 1536 4096 512\n"
      "FileReader(24): 1536 512\n"
      "ReaderReader(19): 100000 100000\n"
      "FileCase(81): 100000 10\n"
      "FileReader(11): 100000 10\n"
      "FileRecoverer(111): OUT/100000-10.jpeg\n"
      "FileRecoverer(78): OUT/missing/0-10.jpeg No such file or directory\n"
      "FileRecoverer(70): OUT is the medium being recovered\n",
      text);
}
