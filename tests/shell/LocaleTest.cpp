// Language codes from runtime locale names, and localised file paths.

#include <cstdlib>
#include "shell/Locale.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <clocale>
#include <fstream>

#include "shell/DebugLog.h"

TEST(LocaleNames, WindowsRuntimeNamesOfTheTable) {
  EXPECT_EQ("en", Locale::languageOf("English_United States.1252"));
  EXPECT_EQ("de", Locale::languageOf("German_Germany.1252"));
  EXPECT_EQ("ja", Locale::languageOf("Japanese_Japan.932"));
  EXPECT_EQ("pt", Locale::languageOf("Portuguese_Portugal.1252"));
  EXPECT_EQ("pt_BR", Locale::languageOf("Portuguese_Brazil.1252"));
  EXPECT_EQ("zh_CN", Locale::languageOf("Chinese_People's Republic of China.936"));
  EXPECT_EQ("", Locale::languageOf("german_germany.1252"));
}

TEST(LocaleNames, PosixNames) {
  EXPECT_EQ("de", Locale::languageOf("de_DE.UTF-8"));
  EXPECT_EQ("de", Locale::languageOf("de_AT.UTF-8"));
  EXPECT_EQ("fr", Locale::languageOf("fr_FR@euro"));
  EXPECT_EQ("pt_BR", Locale::languageOf("pt_BR.UTF-8"));
  EXPECT_EQ("pt", Locale::languageOf("pt_PT.UTF-8"));
  EXPECT_EQ("zh_CN", Locale::languageOf("zh_CN.UTF-8"));
  EXPECT_EQ("it", Locale::languageOf("it"));
  EXPECT_EQ("en", Locale::languageOf("en_US.utf8"));
  EXPECT_EQ("", Locale::languageOf("zh_TW.UTF-8"));
  EXPECT_EQ("", Locale::languageOf("sv_SE.UTF-8"));
  EXPECT_EQ("", Locale::languageOf("C"));
  EXPECT_EQ("", Locale::languageOf("POSIX"));
  EXPECT_EQ("", Locale::languageOf("C.UTF-8"));
  EXPECT_EQ("", Locale::languageOf(""));
}

TEST(LocaleNames, CompositeNameIsJudgedByMessages) {
  EXPECT_EQ("nl", Locale::languageOf("LC_CTYPE=C.UTF-8;LC_NUMERIC=C;LC_MESSAGES=nl_NL.UTF-8;LC_TIME=C"));
  EXPECT_EQ("", Locale::languageOf("LC_CTYPE=de_DE.UTF-8;LC_MESSAGES=C"));
}

TEST(LocaleDetect, CLocaleGivesEnglishAndALogLine) {
  std::string saved = setlocale(LC_ALL, nullptr);
  setlocale(LC_ALL, "C");
  Locale locale;
  locale.setLanguage("de");
  DebugLogCapture log;
  locale.detect();
  EXPECT_EQ("en", locale.language());
  EXPECT_EQ("Locale(59): C\n", log.text());
  setlocale(LC_ALL, saved.c_str());
}

TEST(LocaleDetect, InstalledPosixLocaleIsUnderstood) {
  std::string saved = setlocale(LC_ALL, nullptr);
  const char* candidates[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "en_US.UTF-8", "C.UTF-8"};
  const char* chosen = nullptr;
  for (const char* c : candidates)
    if (setlocale(LC_ALL, c)) {
      chosen = c;
      break;
    }
  if (!chosen) GTEST_SKIP() << "no UTF-8 locale installed";
  std::string language = getenv("LANGUAGE") ? getenv("LANGUAGE") : "";
  unsetenv("LANGUAGE");
  Locale locale;
  DebugLogCapture log;
  locale.detect();
  std::string expected = Locale::languageOf(chosen);
  EXPECT_EQ(expected.empty() ? "en" : expected, locale.language());
  EXPECT_EQ(expected.empty(), !log.text().empty());
  setlocale(LC_ALL, saved.c_str());
  if (!language.empty()) setenv("LANGUAGE", language.c_str(), 1);
}

// Under C.UTF-8 the catalogue follows LANGUAGE; the splash and the manual
// must speak the same language as the menus.
TEST(LocaleDetect, LanguagePreferenceDecidesWhereTheLocaleHasNoLanguage) {
  EXPECT_EQ("de", Locale::languageOfPreference("C.UTF-8", "de"));
  EXPECT_EQ("pt_BR", Locale::languageOfPreference("C.UTF-8", "pt_BR:pt:en"));
  EXPECT_EQ("de", Locale::languageOfPreference("C.UTF-8", "de_AT:de"));
  EXPECT_EQ("en", Locale::languageOfPreference("C.UTF-8", "sv"));
  EXPECT_EQ("en", Locale::languageOfPreference("C.UTF-8", ""));
  EXPECT_EQ("en", Locale::languageOfPreference("C.UTF-8", nullptr));
  // The catalogue ignores LANGUAGE in the plain C locale, and so does this.
  EXPECT_EQ("en", Locale::languageOfPreference("C", "de"));
  EXPECT_EQ("en", Locale::languageOfPreference("POSIX", "de"));
}

TEST(LocaleFiles, LanguageFolderOrEnglish) {
  gchar* dir = g_dir_make_tmp("mzk-locale-XXXXXX", nullptr);
  std::string folder = dir;
  g_free(dir);
  g_mkdir(folder.c_str(), 0755);
  g_mkdir((folder + "/de").c_str(), 0755);
  std::string splash = folder + "/de/splash.png";
  std::ofstream(splash) << "x";

  Locale locale;
  locale.setFolder(folder);
  locale.setLanguage("de");
  {
    DebugLogCapture log;
    EXPECT_EQ(splash, locale.localizedPath("splash.png"));
    EXPECT_EQ("", log.text());
  }
  {
    DebugLogCapture log;
    EXPECT_EQ(folder + "/en/manual.pdf", locale.localizedPath("manual.pdf"));
    EXPECT_EQ("Locale(99): " + folder + "/de/manual.pdf\n", log.text());
  }
  locale.setLanguage("fr");
  {
    DebugLogCapture log;
    EXPECT_EQ(folder + "/en/splash.png", locale.localizedPath("splash.png"));
    EXPECT_EQ("Locale(99): " + folder + "/fr/splash.png\n", log.text());
  }
  g_remove(splash.c_str());
  g_rmdir((folder + "/de").c_str());
  g_rmdir(folder.c_str());
}

TEST(LocaleFiles, OneSharedInstance) { EXPECT_EQ(&Locale::instance(), &Locale::instance()); }
