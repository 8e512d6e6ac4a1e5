// Start-up without the toolkit: the "dbg=" scan, the banner, the program's
// folder and name, the configuration and the catalogue binding.

#include "shell/ProgramInit.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/Locale.h"

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

class ProgramFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    gchar* dir = g_dir_make_tmp("mzk-init-XXXXXX", nullptr);
    folder_ = dir;
    g_free(dir);
    const char* lcAll = getenv("LC_ALL");
    hadLcAll_ = lcAll != nullptr;
    if (lcAll) savedLcAll_ = lcAll;
  }
  void TearDown() override {
    for (auto& f : files_) g_remove(f.c_str());
    g_rmdir(folder_.c_str());
    if (hadLcAll_)
      setenv("LC_ALL", savedLcAll_.c_str(), 1);
    else
      unsetenv("LC_ALL");
  }
  void write(const std::string& name, const std::string& text) {
    std::string path = folder_ + "/" + name;
    std::ofstream(path) << text;
    files_.push_back(path);
  }
  std::string folder_;
  std::vector<std::string> files_;
  bool hadLcAll_ = false;
  std::string savedLcAll_;
};

}  // namespace

TEST(ProgramArguments, LastDbgArgumentWins) {
  Arguments none{"mzk", "--other", "x"};
  EXPECT_EQ(nullptr, debugTargetOfArguments(none.argc(), none.argv()));
  Arguments two{"mzk", "dbg=null", "other", "dbg=stderr"};
  EXPECT_STREQ("stderr", debugTargetOfArguments(two.argc(), two.argv()));
  Arguments empty{"mzk", "dbg="};
  EXPECT_STREQ("", debugTargetOfArguments(empty.argc(), empty.argv()));
  Arguments file{"mzk", "dbg=/tmp/log=1.txt"};
  EXPECT_STREQ("/tmp/log=1.txt", debugTargetOfArguments(file.argc(), file.argv()));
}

TEST(ProgramArguments, CaseSensitiveAndNotTheProgramName) {
  Arguments upper{"mzk", "DBG=null", "Dbg=stderr", "dbg", " dbg=x"};
  EXPECT_EQ(nullptr, debugTargetOfArguments(upper.argc(), upper.argv()));
  Arguments name{"dbg=program", "x"};
  EXPECT_EQ(nullptr, debugTargetOfArguments(name.argc(), name.argv()));
  EXPECT_EQ(nullptr, debugTargetOfArguments(0, nullptr));
}

TEST(ProgramArguments, MediumIsTheFirstPlainArgument) {
  auto medium = [](Arguments&& a) { return mediumOfArguments(a.argc(), a.argv()); };
  EXPECT_EQ("", medium({"mzk"}));
  EXPECT_EQ("card.img", medium({"mzk", "dbg=null", "card.img", "other.img"}));
  EXPECT_EQ("/dev/sdb", medium({"mzk", "--sync", "/dev/sdb"}));
  EXPECT_EQ("/tmp/my card.img", medium({"mzk", "file:///tmp/my%20card.img"}));
  EXPECT_EQ("", medium({"mzk", "file://host/card.img"}));  // not a local file
}

TEST(ProgramArguments, Banner) {
  DebugLogCapture log;
  writeBanner();
  EXPECT_EQ("main(20): mzk (revision 100218)\n", log.text());
}

TEST(ProgramPaths, NameWithoutItsLastSuffix) {
  EXPECT_EQ("tool.new", programNameOf("/opt/x/tool.new.exe"));
  EXPECT_EQ("tool", programNameOf("/opt/x/tool"));
  EXPECT_EQ("tool", programNameOf("/opt/x.d/tool"));
  EXPECT_EQ("mzk", programNameOf("mzk"));
  EXPECT_EQ("mzk", programNameOf("./mzk.bin"));
}

TEST(ProgramPaths, FolderOfTheFirstArgument) {
  EXPECT_EQ("/opt/mzk", programFolderOf("/opt/mzk/mzk"));
  EXPECT_EQ(".", programFolderOf("./mzk"));
  EXPECT_EQ("build/app", programFolderOf("build/app/mzk"));
  EXPECT_EQ("", programFolderOf("/mzk"));
}

TEST(ProgramPaths, FolderFromTheRunningExecutableWhenStartedThroughPath) {
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  exe[n] = 0;
  gchar* expected = g_path_get_dirname(exe);
  EXPECT_EQ(std::string(expected), programFolderOf("mzk"));
  g_free(expected);
}

TEST_F(ProgramFolder, ReadsTheConfigurationBesideTheProgram) {
  write("tool.new.cfg", "Program Name: Tool\nSplash Foreground Time: 0\n");
  Arguments args{folder_ + "/tool.new.exe"};
  ConfigRecord config;
  DebugLogCapture log;
  EXPECT_EQ(0, programInitCore(config, args.argc(), args.argv()));
  EXPECT_EQ(folder_, config.getString("Program Path"));
  EXPECT_EQ("Tool", config.getString("Program Name"));
  EXPECT_EQ(0, config.getInt("Splash Foreground Time", 3000));
  EXPECT_EQ("", log.text());
}

TEST_F(ProgramFolder, ProgramPathLineKeepsTheFolderAndStopsReading) {
  write("tool.cfg", "Before: 1\nProgram Path: /elsewhere\nAfter: 2\n");
  Arguments args{folder_ + "/tool"};
  ConfigRecord config;
  DebugLogCapture log;
  EXPECT_EQ(0, programInitCore(config, args.argc(), args.argv()));
  EXPECT_EQ(folder_, config.getString("Program Path"));
  EXPECT_EQ("1", config.getString("Before"));
  EXPECT_FALSE(config.has("After"));
  EXPECT_EQ("Config(90): Program Path /elsewhere\nConfig(158): Program Path /elsewhere\n"
            "Config(172)\nConfig(197)\nProgramInit(30): " + folder_ + "/tool.cfg\n",
            log.text());
}

TEST_F(ProgramFolder, MissingConfigurationIsNotFatal) {
  Arguments args{folder_ + "/mzk"};
  ConfigRecord config;
  DebugLogCapture log;
  EXPECT_EQ(0, programInitCore(config, args.argc(), args.argv()));
  std::string path = folder_ + "/mzk.cfg";
  EXPECT_EQ("Config(193): " + path + "\nProgramInit(30): " + path + "\n", log.text());
  EXPECT_EQ(folder_, config.getString("Program Path"));
}

TEST_F(ProgramFolder, NoProgramNameStops) {
  ConfigRecord config;
  DebugLogCapture log;
  EXPECT_EQ(-1, programInitCore(config, 0, nullptr));
  EXPECT_EQ("ProgramInit(13)\n", log.text());
  EXPECT_TRUE(config.values().empty());
}

TEST_F(ProgramFolder, LocaleKeyGoesToLcAllAndTheCatalogueIsBound) {
  write("mzk.cfg", "Locale: de_DE.UTF-8\n");
  unsetenv("LC_ALL");
  Arguments args{folder_ + "/mzk"};
  ConfigRecord config;
  EXPECT_EQ(0, programInitCore(config, args.argc(), args.argv()));
  ASSERT_NE(nullptr, getenv("LC_ALL"));
  EXPECT_STREQ("de_DE.UTF-8", getenv("LC_ALL"));
  EXPECT_STREQ("mzk", textdomain(nullptr));
  EXPECT_EQ(folder_ + "/lib/locale", std::string(bindtextdomain("mzk", nullptr)));
  EXPECT_STREQ("UTF-8", bind_textdomain_codeset("mzk", nullptr));
}

TEST_F(ProgramFolder, WithoutLocaleKeyLcAllIsLeftAlone) {
  write("mzk.cfg", "Other: 1\n");
  setenv("LC_ALL", "C", 1);
  Arguments args{folder_ + "/mzk"};
  ConfigRecord config;
  EXPECT_EQ(0, programInitCore(config, args.argc(), args.argv()));
  EXPECT_STREQ("C", getenv("LC_ALL"));
}

TEST_F(ProgramFolder, LocaleStepSetsLanguageAndFolder) {
  std::string saved = setlocale(LC_ALL, nullptr);
  setlocale(LC_ALL, "C");
  ConfigRecord config;
  config.set("Program Path", folder_);
  Locale::instance().setLanguage("fr");
  DebugLogCapture log;
  programInitLocale(config);
  EXPECT_EQ("en", Locale::instance().language());
  EXPECT_EQ(folder_ + "/lib/locale", Locale::instance().folder());
  EXPECT_EQ("Locale(59): C\n", log.text());
  setlocale(LC_ALL, saved.c_str());
}
