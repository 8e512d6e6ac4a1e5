// Language codes from runtime locale names, and localised file paths.

#include "shell/Locale.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <cstdlib>

#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

TEST(Locale, LanguageOfRuntimeNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"English_United States.1252", "en"},
      {"German_Germany.1252", "de"},
      {"Japanese_Japan.932", "ja"},
      {"Portuguese_Brazil.1252", "pt_BR"},
      {"Chinese_People's Republic of China.936", "zh_CN"},
      {"german_germany.1252", ""},
      {"de_AT.UTF-8", "de"},
      {"fr_FR@euro", "fr"},
      {"pt_BR.UTF-8", "pt_BR"},
      {"pt_PT.UTF-8", "pt"},
      {"zh_CN.UTF-8", "zh_CN"},
      {"zh_TW.UTF-8", ""},
      {"it", "it"},
      {"en_US.utf8", "en"},
      {"sv_SE.UTF-8", ""},
      {"C", ""},
      {"C.UTF-8", ""},
      {"", ""},
      {"LC_CTYPE=C.UTF-8;LC_NUMERIC=C;LC_MESSAGES=nl_NL.UTF-8;LC_TIME=C", "nl"},
      {"LC_CTYPE=de_DE.UTF-8;LC_MESSAGES=C", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, Locale::languageOf(c.first)) << c.first;
}

// Under C.UTF-8 the catalogue follows LANGUAGE; the splash and the manual
// must speak the same language as the menus.  In the plain C locale the
// catalogue ignores LANGUAGE, and so does this.
TEST(Locale, LanguagePreferenceDecidesWhereTheLocaleHasNoLanguage) {
  const struct {
    const char *locale, *preference, *language;
  } cases[] = {{"C.UTF-8", "de", "de"},    {"C.UTF-8", "pt_BR:pt:en", "pt_BR"}, {"C.UTF-8", "de_AT:de", "de"},
               {"C.UTF-8", "sv", "en"},    {"C.UTF-8", "", "en"},               {"C.UTF-8", nullptr, "en"},
               {"C", "de", "en"},          {"POSIX", "de", "en"}};
  for (const auto& c : cases)
    EXPECT_EQ(c.language, Locale::languageOfPreference(c.locale, c.preference)) << c.locale << " " << c.preference;
}

TEST(Locale, DetectTakesTheRuntimeLocale) {
  std::string saved = setlocale(LC_ALL, nullptr);
  mzktest::ScopedEnv language("LANGUAGE", nullptr);
  Locale locale;
  for (const char* name : {"C", "de_DE.UTF-8", "fr_FR.UTF-8"}) {
    if (!setlocale(LC_ALL, name)) continue;
    locale.setLanguage("xx");
    locale.detect();
    std::string expected = Locale::languageOf(name);
    EXPECT_EQ(expected.empty() ? "en" : expected, locale.language()) << name;
  }
  setlocale(LC_ALL, saved.c_str());
}

TEST(Locale, LocalizedPathFallsBackToEnglish) {
  mzktest::TempDir folder;
  mkdir(folder.file("de").c_str(), 0755);
  folder.write("de/splash.png", "x");
  Locale locale;
  locale.setFolder(folder.path());
  locale.setLanguage("de");
  EXPECT_EQ(folder.file("de/splash.png"), locale.localizedPath("splash.png"));
  EXPECT_EQ(folder.file("en/manual.pdf"), locale.localizedPath("manual.pdf"));
  locale.setLanguage("fr");
  EXPECT_EQ(folder.file("en/splash.png"), locale.localizedPath("splash.png"));
  EXPECT_EQ(&Locale::instance(), &Locale::instance());
}
