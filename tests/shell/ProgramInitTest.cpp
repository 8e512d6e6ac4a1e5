// Start-up without the toolkit: the "dbg=" scan, the banner, the program's
// folder and name, the configuration and the catalogue binding.

#include "shell/ProgramInit.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <vector>

#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/Locale.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace {

// argv built from texts; the pointers stay valid for the object's life.
class Arguments {
 public:
  Arguments(std::initializer_list<std::string> args) : texts_(args) {
    for (auto& t : texts_) pointers_.push_back(&t[0]);
    pointers_.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(texts_.size()); }
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

std::string debugTarget(std::initializer_list<std::string> args) {
  Arguments a(args);
  const char* target = debugTargetOfArguments(a.argc(), a.argv());
  return target ? target : "(none)";
}

// programInitCore for a program in `dir` beside the configuration `cfg`
// (none when empty).
int init(const mzktest::TempDir& dir, const std::string& program, const std::string& cfg, ConfigRecord& config) {
  if (!cfg.empty()) dir.write(programNameOf(program.c_str()) + ".cfg", cfg);
  Arguments args{dir.file(program)};
  return programInitCore(config, args.argc(), args.argv());
}

}  // namespace

TEST(ProgramArguments, TheLastDbgArgumentWinsAndCaseCounts) {
  EXPECT_EQ("(none)", debugTarget({"mzk", "--other", "x"}));
  EXPECT_EQ("stderr", debugTarget({"mzk", "dbg=null", "other", "dbg=stderr"}));
  EXPECT_EQ("", debugTarget({"mzk", "dbg="}));
  EXPECT_EQ("/tmp/log=1.txt", debugTarget({"mzk", "dbg=/tmp/log=1.txt"}));
  EXPECT_EQ("(none)", debugTarget({"mzk", "DBG=null", "Dbg=stderr", "dbg", " dbg=x"}));
  EXPECT_EQ("(none)", debugTarget({"dbg=program", "x"})) << "not the program's name";
  EXPECT_EQ(nullptr, debugTargetOfArguments(0, nullptr));
  DebugLogCapture log;
  writeBanner();
  EXPECT_EQ("main(20): mzk (revision 100218)\n", log.text());
}

TEST(ProgramPaths, NameAndFolder) {
  const std::pair<std::string, std::string> cases[] = {
      {programNameOf("/opt/x/tool.new.exe"), "tool.new"}, {programNameOf("/opt/x.d/tool"), "tool"},
      {programNameOf("./mzk.bin"), "mzk"},                {programNameOf("mzk"), "mzk"},
      {programFolderOf("/opt/mzk/mzk"), "/opt/mzk"},      {programFolderOf("./mzk"), "."},
      {programFolderOf("build/app/mzk"), "build/app"},    {programFolderOf("/mzk"), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, c.first);
  // Started through PATH: the folder of the running executable.
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  exe[n] = 0;
  gchar* expected = g_path_get_dirname(exe);
  EXPECT_EQ(std::string(expected), programFolderOf("mzk"));
  g_free(expected);
}

TEST(ProgramFolder, TheConfigurationBesideTheProgramUpToAProgramPathLine) {
  mzktest::TempDir dir;
  ConfigRecord config;
  ASSERT_EQ(0, init(dir, "tool.new.exe", "Program Name: Tool\nProgram Path: /elsewhere\nAfter: 2\n", config));
  EXPECT_EQ(dir.path(), config.getString("Program Path"));
  EXPECT_EQ("Tool", config.getString("Program Name"));
  EXPECT_FALSE(config.has("After")) << "the reading stops at a Program Path line";
  ConfigRecord none;
  ASSERT_EQ(0, init(dir, "other", "", none)) << "a missing configuration is not fatal";
  EXPECT_EQ(dir.path(), none.getString("Program Path"));
  EXPECT_EQ(-1, programInitCore(none, 0, nullptr)) << "no program name is";
}

TEST(ProgramFolder, TheLocaleKeyGoesToLcAllAndTheCatalogueIsBound) {
  mzktest::ScopedEnv lcAll("LC_ALL", "C");
  mzktest::TempDir dir;
  ConfigRecord config;
  ASSERT_EQ(0, init(dir, "other", "Other: 1\n", config));
  EXPECT_STREQ("C", getenv("LC_ALL")) << "left alone without the key";
  ASSERT_EQ(0, init(dir, "mzk", "Locale: de_DE.UTF-8\n", config));
  EXPECT_STREQ("de_DE.UTF-8", getenv("LC_ALL"));
  EXPECT_STREQ("mzk", textdomain(nullptr));
  EXPECT_EQ(dir.file("lib/locale"), std::string(bindtextdomain("mzk", nullptr)));
  EXPECT_STREQ("UTF-8", bind_textdomain_codeset("mzk", nullptr));
}

TEST(ProgramFolder, TheLocaleStepSetsLanguageAndFolder) {
  std::string saved = setlocale(LC_ALL, nullptr);
  setlocale(LC_ALL, "C");
  ConfigRecord config;
  config.set("Program Path", "/opt/mzk");
  Locale::instance().setLanguage("fr");
  programInitLocale(config);
  EXPECT_EQ("en", Locale::instance().language());
  EXPECT_EQ("/opt/mzk/lib/locale", Locale::instance().folder());
  setlocale(LC_ALL, saved.c_str());
}
