// Targets of the debug log and the capture used by tests.

#include "shell/DebugLog.h"
#include "shell/BoundedLogBuffer.h"

#include <gtest/gtest.h>

#include <iostream>

#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

TEST(DebugLog, EachTargetKeepsOrDropsWhatIsWritten) {
  mzktest::TempDir dir;
  std::string file = dir.file("debug.log");
  mzktest::writeFile(file, "old content that must go\n");
  const struct {
    const char* target;
    const char* kind;
    bool kept;
  } cases[] = {{"ostringstream", "ostringstream", true}, {nullptr, "ostringstream", true}, {"null", "null", false},
               {"stderr", "stderr", false},              {"", "stderr", false},
               {"/nonexistent-folder-for-mzk/debug.log", "stderr", false}, {file.c_str(), "ofstream", false}};
  for (const auto& c : cases) {
    openDebugLog(c.target);
    EXPECT_STREQ(c.kind, debugLogKind) << (c.target ? c.target : "nullptr");
    if (std::string(c.kind) == "stderr") {
      EXPECT_EQ(&std::cerr, debugLog);
      continue;
    }
    std::string before = debugLogText();
    dlog() << "main(20): mzk\n";
    dlog().flush();
    EXPECT_TRUE(dlog().good());
    EXPECT_EQ(c.kept ? before + "main(20): mzk\n" : "", debugLogText()) << c.kind;
  }
  EXPECT_EQ("main(20): mzk\n", mzktest::readFile(file)) << "the file is started afresh";
  openDebugLog("null");
}

TEST(DebugLog, CapturesNestAndRestoreTheTarget) {
  openDebugLog("null");
  std::ostream* before = debugLog;
  {
    DebugLogCapture outer;
    dlog() << "a\n";
    {
      DebugLogCapture inner;
      dlog() << "b\n";
      EXPECT_EQ("b\n", inner.text());
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

TEST(BoundedLog, KeepsTheFirstAndTheLatestBytesAndSaysWhatWasLeftOut) {
  BoundedLogBuffer buffer(20, 16);
  std::ostream out(&buffer);
  out << "first line\nsecond\n";  // 18 bytes: all in the head
  EXPECT_EQ("first line\nsecond\n", buffer.text());
  for (int i = 0; i < 100; ++i) out << "line " << i << "\n";
  std::string text = buffer.text();
  EXPECT_EQ(0u, text.find("first line\nsecond\nli"));
  EXPECT_NE(std::string::npos, text.find("bytes of the log left out\n"));
  EXPECT_EQ(text.size() - 8, text.rfind("line 99\n")) << "the latest whole lines stay";
  EXPECT_EQ(std::string::npos, text.find("line 50")) << text;
  EXPECT_GT(buffer.droppedBytes(), 500u);
}
