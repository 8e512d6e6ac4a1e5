// mzk-recover as a Unix tool: inputs that cannot be read at random, an
// empty medium, type names as users type them, a debug log that cannot be
// written; nothing is created before the arguments are known good.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/cli/CliSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

TEST(UnixTool, InputsThatCannotBeReadAtRandomAreRefusedAtOnce) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  writeFile(dir.file("empty.img"), "");
  struct Case {
    std::string input, message;
  } cases[] = {
      {dir.file("fifo"), "cannot be read at random"},  // would block for ever on a plain open
      {"/dev/null", "cannot be read at random"},
      {dir.file("empty.img"), "is empty (0 bytes)"},
  };
  for (const Case& c : cases) {
    ToolResult r = runRecover({"-o", dir.file("out"), c.input});
    EXPECT_EQ(r.status, 2) << c.input << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_NE(access(dir.file("out").c_str(), F_OK), 0) << "nothing created for " << c.input;
  }
}

TEST(UnixTool, TypeNamesSelectTheirTwinsAndUnknownOnesAreNamed) {
  TempDir dir;
  std::string photo = dir.file("p.jpg");
  ASSERT_TRUE(sh("convert -size 64x48 xc:red " + quote(photo)));
  std::string image = std::string(4096, '\0') + readFile(photo) + std::string(4096, '\0');
  writeFile(dir.file("card.img"), image);
  for (const char* typed : {"jpg", "JPEG", "jpeg,nosuchtype"}) {
    ToolResult r = runRecover({"--list", "--types", typed, dir.file("card.img")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("4096\t"), std::string::npos) << typed;
    EXPECT_EQ(r.err.find("no file type 'nosuchtype'") != std::string::npos,
              std::string(typed).find("nosuchtype") != std::string::npos)
        << r.err;
  }
}

TEST(UnixTool, ADebugLogThatCannotBeCreatedIsAnError) {
  TempDir dir;
  writeFile(dir.file("card.img"), std::string(8192, '\0'));
  ToolResult r = runRecover(
      {"--debug-log", dir.file("missing/folder/log.txt"), "-o", dir.file("out"), dir.file("card.img")});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("cannot create the debug log"), std::string::npos) << r.err;
  EXPECT_NE(access(dir.file("out").c_str(), F_OK), 0);
}
