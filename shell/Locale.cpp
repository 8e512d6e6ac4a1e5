// The user's language and the per-language folders of localised files.

#include "shell/Locale.h"

#include <clocale>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "shell/DebugLog.h"

namespace {

struct LanguageName {
  const char* code;
  const char* runtimeName;
};

// The language codes and the Windows runtime names that map to them.
const LanguageName kLanguages[] = {
    {"en", "English_United States.1252"},
    {"de", "German_Germany.1252"},
    {"es", "Spanish_Spain.1252"},
    {"fr", "French_France.1252"},
    {"ja", "Japanese_Japan.932"},
    {"it", "Italian_Italy.1252"},
    {"nl", "Dutch_Netherlands.1252"},
    {"pt", "Portuguese_Portugal.1252"},
    {"pt_BR", "Portuguese_Brazil.1252"},
    {"zh_CN", "Chinese_People's Republic of China.936"},
};

bool isLanguageCode(const std::string& code) {
  for (const LanguageName& l : kLanguages)
    if (code == l.code) return true;
  return false;
}

// A composite name ("LC_CTYPE=de_DE.UTF-8;LC_NUMERIC=C;...") is judged by
// the category that decides the language of messages.
std::string messagesPart(const std::string& name) {
  if (name.find(';') == std::string::npos) return name;
  const std::string tag = "LC_MESSAGES=";
  size_t at = name.find(tag);
  if (at == std::string::npos) return name;
  size_t start = at + tag.size();
  size_t end = name.find(';', start);
  return name.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

Locale& Locale::instance() {
  static Locale locale;
  return locale;
}

std::string Locale::languageOf(const std::string& localeName) {
  for (const LanguageName& l : kLanguages)
    if (localeName == l.runtimeName) return l.code;
  // POSIX form: language[_territory][.codeset][@modifier].
  std::string name = messagesPart(localeName);
  size_t cut = name.find_first_of(".@");
  if (cut != std::string::npos) name.erase(cut);
  if (name.empty() || name == "C" || name == "POSIX") return std::string();
  if (isLanguageCode(name)) return name;
  size_t underscore = name.find('_');
  if (underscore != std::string::npos) {
    std::string language = name.substr(0, underscore);
    if (isLanguageCode(language)) return language;
  }
  return std::string();
}

std::string Locale::languageOfPreference(const std::string& localeName, const char* preference) {
  // The catalogue honours LANGUAGE in every locale but "C" and "POSIX"
  // (C.UTF-8 included), so the localised files follow it there too.
  if (preference && *preference && localeName != "C" && localeName != "POSIX") {
    std::string first = preference;
    first.erase(std::min(first.find(':'), first.size()));
    std::string code = isLanguageCode(first) ? first : languageOf(first);
    if (!code.empty()) return code;
  }
  return "en";
}

void Locale::detect() {
  const char* current = setlocale(LC_ALL, nullptr);
  std::string name = current ? current : "";
  std::string code = languageOf(name);
  if (code.empty()) {
    dlog() << "Locale(59): " << name << "\n";
    code = languageOfPreference(name, getenv("LANGUAGE"));
  }
  language_ = code;
}

std::string Locale::localizedPath(const std::string& fileName) const {
  std::string path = folder_ + "/" + language_ + "/" + fileName;
  if (access(path.c_str(), F_OK) != 0) {
    dlog() << "Locale(99): " << path << "\n";
    return folder_ + "/en/" + fileName;
  }
  return path;
}
