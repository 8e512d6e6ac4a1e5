// The installation data of the program folder: the program configuration,
// the pictures it names, the manual and the message catalogues.  The files
// checked are the ones the build copied into MZK_APP_DIR, so a file that is
// missing from the copy rules fails here too.
#include <gtest/gtest.h>
#include <libintl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "shell/Config.h"
#include "shell/Endian.h"
#include "shell/ProgramInit.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using mzktest::readFile;

namespace {

const std::string kApp = MZK_APP_DIR;
const std::string kSource = MZK_SOURCE_DIR;

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::vector<std::string> splitAt(const std::string& s, char separator) {
  std::vector<std::string> out;
  std::string piece;
  std::istringstream in(s);
  while (std::getline(in, piece, separator)) out.push_back(piece);
  return out;
}

// Width and height from the IHDR chunk after the signature; 0 x 0 when it
// is not a PNG.
std::pair<uint32_t, uint32_t> pngSize(const std::string& path) {
  std::string data = readFile(path);
  if (data.size() < 24 || data.compare(0, 8, "\x89PNG\r\n\x1a\n", 8) != 0 || data.compare(12, 4, "IHDR") != 0)
    return {0, 0};
  const uint8_t* p = reinterpret_cast<const uint8_t*>(data.data());
  return {be32(p + 16), be32(p + 20)};
}
bool isPng(const std::string& path) { return pngSize(path).first > 0 && pngSize(path).second > 0; }

class ProgramConfiguration : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(readConfigFile(config_, kApp + "/mzk.cfg", '#')); }
  int number(const char* key) const { return config_.getInt(key, -1); }
  ConfigRecord config_;
};

TEST_F(ProgramConfiguration, HoldsEveryKeyTheProgramReadsWithUsableValues) {
  for (const char* key : {"Program Name", "Program Name with Version", "Program Icon", "Splash Image",
                          "Splash Foreground Time", "Splash Background Time", "Update URL", "Manual File",
                          "Allowed Bus Types", "Scan Buffer Size", "Browser Width", "Browser Height", "Icon Width",
                          "Icon Height", "Minimal Image Width", "Minimal Image Height", "PixbufFrame Icon X",
                          "PixbufFrame Icon Y", "PixbufFrame Icon Width", "PixbufFrame Icon Height", "Icons",
                          "Additional Load Types"})
    EXPECT_TRUE(config_.has(key)) << key;
  // The folder is the program's own: a line for it would stop the reading.
  // A "Locale" would override the desktop's language for every user.
  EXPECT_FALSE(config_.has("Program Path") || config_.has("Locale"));
  for (const char* key : {"Splash Foreground Time", "Splash Background Time", "Browser Width", "Browser Height"}) {
    EXPECT_GT(number(key), 0) << key;
    EXPECT_LE(number(key), 10000) << key;
  }
  for (const char* key : {"Icon Width", "Icon Height"}) {
    EXPECT_GT(number(key), 0) << key;
    EXPECT_LE(number(key), 999) << key << ": the preferences' spin range";
  }
  EXPECT_GE(number("Minimal Image Width"), 0);
  EXPECT_GE(number("Minimal Image Height"), 0);
  uint32_t buffer = config_.getUnsigned("Scan Buffer Size", 0);
  EXPECT_TRUE(buffer > 0 && buffer % 512 == 0) << "the scan hands whole sectors only";
  EXPECT_EQ(std::string::npos, config_.getString("Allowed Bus Types").find(' ')) << "pieces are not trimmed";
}

// Every setting line sits in a block that begins with a comment saying what
// it does; blocks are separated by blank lines.
TEST_F(ProgramConfiguration, EverySettingIsExplained) {
  bool explained = false;
  int settings = 0;
  for (const std::string& line : splitAt(readFile(kApp + "/mzk.cfg"), '\n')) {
    std::string t = trim(line);
    if (t.empty() || t[0] == '#') {
      explained = !t.empty();
    } else {
      ++settings;
      EXPECT_TRUE(explained) << "no comment before: " << t;
    }
  }
  EXPECT_EQ(int(config_.values().size()), settings);
}

TEST_F(ProgramConfiguration, NamedFilesExistAndTheManualExplainsTheCommandLine) {
  EXPECT_TRUE(isPng(kApp + "/" + config_.getString("Program Icon")));
  for (const std::string language : {"en", "de"}) {
    std::string folder = kApp + "/lib/locale/" + language + "/";
    EXPECT_TRUE(isPng(folder + config_.getString("Splash Image"))) << folder;
    std::string manual = readFile(folder + config_.getString("Manual File"));
    for (const char* word : {"<html", "mzk-recover", "--list", "--types", "--min-size", "--keep-names", "--report",
                             "-o ", "<td>3</td>",
                             language == "de" ? "Gespeicherte Kartendatei durchsuchen" : "Scan a Saved Card File"})
      EXPECT_NE(std::string::npos, manual.find(word)) << folder << " " << word;
  }
}

// The frame's picture area lies inside the frame picture and is as large as
// an icon, so the frame is shown unscaled and sharp.
TEST_F(ProgramConfiguration, FramePicturesMatchTheirArea) {
  auto frame = pngSize(kApp + "/icons/PixbufFrame.png");
  EXPECT_EQ(frame, pngSize(kApp + "/icons/PixbufFrameSelected.png"));
  EXPECT_GE(frame.first, 10u);
  EXPECT_GE(frame.second, 10u);
  int x = number("PixbufFrame Icon X"), y = number("PixbufFrame Icon Y");
  int w = number("PixbufFrame Icon Width"), h = number("PixbufFrame Icon Height");
  EXPECT_TRUE(x >= 0 && y >= 0 && w > 0 && h > 0);
  EXPECT_LE(x + w, int(frame.first));
  EXPECT_LE(y + h, int(frame.second));
  EXPECT_EQ(w, number("Icon Width"));
  EXPECT_EQ(h, number("Icon Height"));
}

// The "Icons" list maps types to icons/type-<icon>.png.  Every type a
// module, the pattern files or the raw-data command gives a found file has
// an icon, and so has "default".
TEST_F(ProgramConfiguration, EveryFoundTypeHasAnIcon) {
  std::map<std::string, std::string> icons;
  for (const std::string& entry : splitAt(config_.getString("Icons"), ',')) {
    std::vector<std::string> parts = splitAt(trim(entry), ':');
    ASSERT_EQ(2u, parts.size()) << entry;
    EXPECT_TRUE(icons.emplace(parts[0], parts[1]).second) << "type twice: " << parts[0];
    EXPECT_TRUE(isPng(kApp + "/icons/type-" + parts[1] + ".png")) << parts[1];
  }
  std::set<std::string> types = {
      "default", "img", "jpeg", "jpg", "tiff", "tif", "riff", "avi", "wav", "rmi", "ani", "mp3", "mpeg",
      "mpg", "m1v", "m2v", "mov", "mp4", "asf", "wma", "wmv", "bmp", "crw", "gif", "png", "wmf", "nef",
      "mrw", "mos", "cr2", "dcr", "dng", "kdc", "k25", "pef", "arw", "sr2", "srf", "orf", "zip", "rar",
      "arj", "lzh", "dbx", "ole", "doc", "xls", "ppt", "fla", "pub", "vsd", "mpp", "vsmacros", "rpt",
      "suo", "msi", "text", "html", "xml", "txt", "docx", "xlsx", "pptx", "odt", "ods", "odp"};
  // The file-system modules hand what they meet to the file case and never
  // yield a file of their own type; the catch-all record "*" gives files the
  // type of their extension, which may be any: those get the default icon.
  const std::set<std::string> fileSystemModules = {"BootSector", "Subdirectory", "ExfatBootRegion", "ExfatDirectory"};
  for (const char* file : {"/Scanner.cfg", "/FsScanner.cfg"}) {
    ConfigRecordList patterns;
    readConfigList(patterns, kApp + file, "Type", '#');
    for (const ConfigRecord& p : patterns)
      if (!fileSystemModules.count(p.getString("Analyze File Module")) && p.getString("Type") != "*")
        types.insert(p.getString("Type"));
  }
  for (const std::string& type : types) EXPECT_EQ(1u, icons.count(type)) << "no icon: " << type;
}

// --- message catalogues ----------------------------------------------------

struct PoEntry {
  std::string id, plural;
  std::vector<std::string> strs;
  bool fuzzy = false;
};

std::string unquote(const std::string& s) {
  std::string out;
  for (size_t i = s.find('"') + 1; i < s.rfind('"'); ++i) {
    char c = s[i];
    if (c == '\\') c = s[++i] == 'n' ? '\n' : s[i] == 't' ? '\t' : s[i];
    out += c;
  }
  return out;
}

// The entries of a .po or .pot file, header and obsolete entries left out.
std::vector<PoEntry> readPo(const std::string& path) {
  std::vector<PoEntry> entries(1);
  std::string* field = nullptr;
  for (const std::string& line : splitAt(readFile(path) + "\n", '\n')) {
    PoEntry& e = entries.back();
    if (line.empty()) {
      if (e.id.empty()) e = PoEntry();  // the header
      else entries.emplace_back();
      field = nullptr;
    } else if (line.compare(0, 2, "#,") == 0) {
      e.fuzzy = line.find("fuzzy") != std::string::npos;
    } else if (line.compare(0, 13, "msgid_plural ") == 0) {
      field = &(e.plural = unquote(line));
    } else if (line.compare(0, 6, "msgid ") == 0) {
      field = &(e.id = unquote(line));
    } else if (line.compare(0, 6, "msgstr") == 0) {
      e.strs.push_back(unquote(line));
      field = &e.strs.back();
    } else if (line[0] == '"' && field) {
      *field += unquote(line);
    }
  }
  if (entries.back().id.empty()) entries.pop_back();
  return entries;
}

size_t count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t i = s.find(what); i != std::string::npos; i = s.find(what, i + what.size())) ++n;
  return n;
}

// What a translation must keep of its English text: the placeholders, the
// markup, whether it has a mnemonic.
std::string kept(const std::string& s) {
  std::multiset<std::string> placeholders;
  for (size_t i = 0; i + 1 < s.size(); ++i)
    if (s[i] == '%' && s[i + 1] >= '1' && s[i + 1] <= '5') placeholders.insert(s.substr(i, 2));
  std::string out;
  for (const std::string& p : placeholders) out += p;
  return out + " <span " + std::to_string(count(s, "<span")) + " </span> " + std::to_string(count(s, "</span>")) +
         (s.find('_') != std::string::npos ? " mnemonic" : "");
}

size_t characters(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

TEST(MessageCatalogue, GermanTranslatesEveryTextOfTheTemplate) {
  std::map<std::string, PoEntry> german;
  for (const PoEntry& e : readPo(kSource + "/po/de.po")) german[e.id] = e;
  std::vector<PoEntry> pot = readPo(kSource + "/po/mzk.pot");
  ASSERT_GT(pot.size(), 20u);
  for (const PoEntry& e : pot) {
    auto it = german.find(e.id);
    ASSERT_NE(german.end(), it) << "not in de.po (run scripts/update-po.sh): " << e.id;
    const PoEntry& t = it->second;
    EXPECT_FALSE(t.fuzzy) << e.id;
    ASSERT_EQ(e.plural.empty() ? 1u : 2u, t.strs.size()) << e.id;
    // German has the English forms: one, and every other number.
    for (size_t form = 0; form < t.strs.size(); ++form) {
      const std::string& english = form == 0 ? e.id : e.plural;
      EXPECT_FALSE(t.strs[form].empty()) << "untranslated: " << e.id;
      EXPECT_EQ(kept(english), kept(t.strs[form])) << english << " -> " << t.strs[form];
      // Far longer than its English text is usually two entries run together
      // by a hand edit.
      EXPECT_LE(characters(t.strs[form]), characters(english) * 5 / 2 + 12) << english << " -> " << t.strs[form];
    }
  }
}

std::string withoutMnemonic(std::string s) {
  size_t u = s.find('_');
  return u == std::string::npos ? s : s.erase(u, 1);
}

// The menu and button names that a manual mentions, "File &rarr; Print"
// giving two, blanks and line breaks folded.
std::set<std::string> manualLabels(const std::string& path) {
  std::set<std::string> labels;
  std::string html = readFile(path);
  const std::string open = "<span class=\"menu\">", arrow = " &rarr; ";
  for (size_t b = html.find(open); b != std::string::npos; b = html.find(open, b)) {
    b += open.size();
    std::string text;
    for (char c : html.substr(b, html.find("</span>", b) - b)) {
      bool blank = c == ' ' || c == '\n' || c == '\t';
      if (!blank || (!text.empty() && text.back() != ' ')) text += blank ? ' ' : c;
    }
    for (size_t a; (a = text.find(arrow)) != std::string::npos; text.erase(0, a + arrow.size()))
      labels.insert(text.substr(0, a));
    labels.insert(text);
  }
  return labels;
}

// Where the English manual names a menu entry or button of the catalogue,
// the German manual names it as the German program shows it.
TEST(MessageCatalogue, ManualsNameTheEntriesAsTheProgramShowsThem) {
  std::set<std::string> english = manualLabels(kApp + "/lib/locale/en/manual.html");
  std::set<std::string> german = manualLabels(kApp + "/lib/locale/de/manual.html");
  ASSERT_GT(english.size(), 10u);
  int matched = 0;
  for (const PoEntry& e : readPo(kSource + "/po/de.po")) {
    if (!e.plural.empty() || e.strs.empty() || !english.count(withoutMnemonic(e.id))) continue;
    ++matched;
    EXPECT_EQ(1u, german.count(withoutMnemonic(e.strs[0])))
        << e.id << ": the German manual should say " << withoutMnemonic(e.strs[0]);
  }
  EXPECT_GT(matched, 10);
}

// The catalogue is a proper one for msgfmt, plural formula included, and
// holds every text the sources mark for translation.
TEST(MessageCatalogue, CompilesCleanly) {
  std::string out = mzktest::shOutput("msgfmt --check --statistics -o /dev/null " +
                                      mzktest::quote(kSource + "/po/de.po") + " 2>&1; echo status $?");
  EXPECT_NE(std::string::npos, out.find("translated message")) << out;
  EXPECT_EQ(std::string::npos, out.find("untranslated")) << out;
  EXPECT_EQ(std::string::npos, out.find("fuzzy")) << out;
  EXPECT_NE(std::string::npos, out.find("status 0")) << out;
  EXPECT_NE(std::string::npos, readFile(kSource + "/po/de.po").find("Plural-Forms: nplurals=2; plural=(n != 1);"));
}

TEST(MessageCatalogue, TemplateIsCurrent) {
  mzktest::TempDir dir;
  ASSERT_TRUE(mzktest::sh("cd " + mzktest::quote(kSource) +
                          " && xgettext --from-code=UTF-8 --language=C++ --keyword=_ --keyword=N_ "
                          "--keyword=ngettext:1,2 -o " + mzktest::quote(dir.file("fresh.pot")) +
                          " $(find shell ui media engine fat recover thumbs update cli device "
                          "-name '*.cpp' -o -name '*.h' 2>/dev/null)"));
  std::set<std::string> known;
  for (const PoEntry& e : readPo(kSource + "/po/mzk.pot")) known.insert(e.id);
  for (const PoEntry& e : readPo(dir.file("fresh.pot")))
    EXPECT_EQ(1u, known.count(e.id)) << "new text, run scripts/update-po.sh and translate: " << e.id;
}

// The program binds its catalogue in its own folder; under a German
// language the compiled catalogue answers, plural forms included.
TEST(MessageCatalogue, TheProgramFindsTheGermanCatalogue) {
  std::string savedLocale = setlocale(LC_ALL, nullptr);
  if (!setlocale(LC_ALL, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
  mzktest::ScopedEnv language("LANGUAGE", "de"), lcAll("LC_ALL", getenv("LC_ALL"));
  ConfigRecord config;
  std::string argv0 = kApp + "/mzk";
  char* argv[] = {&argv0[0], nullptr};
  EXPECT_EQ(0, programInitCore(config, 1, argv));
  EXPECT_EQ("mzk", config.getString("Program Name")) << "the real mzk.cfg was read";
  EXPECT_STREQ("Möchten Sie das Programm beenden?", dgettext("mzk", "Do you want to quit the program?"));
  EXPECT_STREQ("Ausnahme: %1", dgettext("mzk", "Exception: %1"));
  EXPECT_STREQ("Minute", dngettext("mzk", "minute", "minutes", 1));
  EXPECT_STREQ("Minuten", dngettext("mzk", "minute", "minutes", 5));
  EXPECT_STREQ("Stunden", dngettext("mzk", "hour", "hours", 0));
  EXPECT_STREQ("no such text in mzk", dgettext("mzk", "no such text in mzk"));
  setlocale(LC_ALL, savedLocale.c_str());
}

// --- installation ------------------------------------------------------------

// The installed command-line tool starts through its wrapper in bin/, finds
// its configuration and pattern files in lib/mzk and keeps working when the
// whole tree is moved elsewhere or reached through a symbolic link.
TEST(Installation, ToolRunsFromAMovedPrefix) {
  mzktest::TempDir dir;
  ASSERT_TRUE(mzktest::sh("cmake --install " + mzktest::quote(kApp + "/..") + " --prefix " +
                          mzktest::quote(dir.file("a")) + " --component program"));
  for (const char* f : {"bin/mzk-recover", "lib/mzk/mzk-recover", "lib/mzk/mzk.cfg", "lib/mzk/icons/type-default.png",
                        "lib/mzk/icons/PixbufFrame.png", "lib/mzk/lib/locale/de/LC_MESSAGES/mzk.mo",
                        "lib/mzk/lib/locale/en/manual.html"})
    EXPECT_EQ(0, access(dir.file(std::string("a/") + f).c_str(), F_OK)) << f;
  // A card image: a JPEG at byte 8192 between sectors of noise.
  ASSERT_TRUE(mzktest::sh("convert -size 160x120 gradient:red-blue " + mzktest::quote(dir.file("photo.jpg"))));
  std::string photo = readFile(dir.file("photo.jpg"));
  std::string card = mzktest::noise(64 * 512, 1).replace(8192, photo.size(), photo);
  mzktest::writeFile(dir.file("card.img"), card);
  ASSERT_EQ(0, rename(dir.file("a").c_str(), dir.file("b").c_str()));
  ASSERT_EQ(0, symlink(dir.file("b/bin/mzk-recover").c_str(), dir.file("tool").c_str()));
  for (const std::string& tool : {dir.file("b/bin/mzk-recover"), dir.file("tool")}) {
    std::string out =
        mzktest::shOutput("cd / && " + mzktest::quote(tool) + " --list " + mzktest::quote(dir.file("card.img")));
    EXPECT_NE(std::string::npos, out.find("8192\t" + std::to_string(photo.size()) + "\tjpeg")) << tool << ": " << out;
  }
}

}  // namespace
