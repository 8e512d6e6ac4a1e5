// The user's language and the per-language folders of localised files.
#pragma once

#include <string>

class Locale {
 public:
  static Locale& instance();
  // Sets the language from the C runtime's locale name ("de_DE.UTF-8" is
  // "de"); an unknown name gives "en" and a log line.
  void detect();
  // Maps a C runtime locale name to a language code; empty when unknown.
  static std::string languageOf(const std::string& localeName);
  // For a locale name without a language of its own: the first entry of
  // the LANGUAGE preference (as the catalogue uses it), else "en".
  static std::string languageOfPreference(const std::string& localeName, const char* preference);
  // folder/language/fileName, or folder/en/fileName when that does not exist.
  std::string localizedPath(const std::string& fileName) const;

  const std::string& language() const { return language_; }
  void setLanguage(const std::string& language) { language_ = language; }
  const std::string& folder() const { return folder_; }
  void setFolder(const std::string& folder) { folder_ = folder; }

 private:
  std::string language_ = "en";
  std::string folder_;
};
