// Targets of the debug log and the capture used by tests.

#include "shell/DebugLog.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <sstream>

namespace {

// Each case chooses a target; afterwards the log is quiet again.
class DebugLogTargets : public ::testing::Test {
 protected:
  void TearDown() override { openDebugLog("null"); }
};

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST_F(DebugLogTargets, MemoryKeepsEverythingWritten) {
  openDebugLog("ostringstream");
  EXPECT_STREQ("ostringstream", debugLogKind);
  std::string before = debugLogText();
  dlog() << "Config(193): /x\n";
  dlog() << "Config(197)\n";
  EXPECT_EQ(before + "Config(193): /x\nConfig(197)\n", debugLogText());
}

TEST_F(DebugLogTargets, NoTargetMeansMemory) {
  openDebugLog(nullptr);
  EXPECT_STREQ("ostringstream", debugLogKind);
}

TEST_F(DebugLogTargets, NullDropsAndStaysGood) {
  openDebugLog("null");
  EXPECT_STREQ("null", debugLogKind);
  dlog() << "dropped " << 42 << std::string(100000, 'x') << "\n";
  EXPECT_TRUE(dlog().good());
  EXPECT_EQ("", debugLogText());
}

TEST_F(DebugLogTargets, StderrIsTheStandardErrorStream) {
  openDebugLog("stderr");
  EXPECT_STREQ("stderr", debugLogKind);
  EXPECT_EQ(&std::cerr, debugLog);
}

TEST_F(DebugLogTargets, FileIsTruncatedAndWritten) {
  gchar* dir = g_dir_make_tmp("mzk-log-XXXXXX", nullptr);
  std::string path = std::string(dir) + "/debug.log";
  std::ofstream(path) << "old content that must go\n";
  openDebugLog(path.c_str());
  EXPECT_STREQ("ofstream", debugLogKind);
  dlog() << "main(20): mzk\n";
  dlog().flush();
  EXPECT_EQ("main(20): mzk\n", fileText(path));
  EXPECT_EQ("", debugLogText());
  openDebugLog("null");
  g_remove(path.c_str());
  g_rmdir(dir);
  g_free(dir);
}

TEST_F(DebugLogTargets, UnopenableFileOrEmptyNameFallsBackToStderr) {
  openDebugLog("/nonexistent-folder-for-mzk/debug.log");
  EXPECT_STREQ("stderr", debugLogKind);
  EXPECT_EQ(&std::cerr, debugLog);
  openDebugLog("");
  EXPECT_STREQ("stderr", debugLogKind);
}

TEST_F(DebugLogTargets, CaptureCollectsAndRestores) {
  openDebugLog("null");
  std::ostream* before = debugLog;
  {
    DebugLogCapture outer;
    dlog() << "a\n";
    {
      DebugLogCapture inner;
      dlog() << "b\n";
      EXPECT_EQ("b\n", inner.text());
      EXPECT_EQ("b\n", debugLogText());
    }
    dlog() << "c\n";
    EXPECT_EQ("a\nc\n", outer.text());
    outer.clear();
    dlog() << "d\n";
    EXPECT_EQ("d\n", outer.text());
  }
  EXPECT_EQ(before, debugLog);
  EXPECT_STREQ("null", debugLogKind);
}
