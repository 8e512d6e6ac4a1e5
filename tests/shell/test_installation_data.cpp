// The installation data of the program folder: the program configuration,
// the pictures it names, the manual and the message catalogues.  The files
// checked are the ones the build copied into MZK_APP_DIR, so a file that is
// missing from the copy rules fails here too.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <libintl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shell/Config.h"
#include "shell/Endian.h"
#include "shell/ProgramInit.h"

namespace {

const std::string kApp = MZK_APP_DIR;
const std::string kSource = MZK_SOURCE_DIR;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> splitAt(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::string piece;
  std::istringstream in(s);
  while (std::getline(in, piece, sep)) out.push_back(piece);
  return out;
}

struct PngSize {
  bool ok = false;
  uint32_t width = 0, height = 0;
};

// Width and height from the IHDR chunk, which must follow the signature.
PngSize pngSize(const std::string& path) {
  std::string data = readFile(path);
  PngSize size;
  static const char kSignature[] = "\x89PNG\r\n\x1a\n";
  if (data.size() < 24 || data.compare(0, 8, kSignature, 8) != 0 || data.compare(12, 4, "IHDR") != 0)
    return size;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(data.data());
  size.width = be32(p + 16);
  size.height = be32(p + 20);
  size.ok = size.width > 0 && size.height > 0;
  return size;
}

class ProgramConfiguration : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = kApp + "/mzk.cfg";
    ASSERT_TRUE(readConfigFile(config_, path_, '#')) << path_;
  }
  std::string path_;
  ConfigRecord config_;
};

TEST_F(ProgramConfiguration, HoldsEveryKeyTheProgramReads) {
  const char* keys[] = {
      "Program Name", "Program Name with Version", "Program Icon", "Splash Image",
      "Splash Foreground Time", "Splash Background Time", "Update URL", "Manual File",
      "Allowed Bus Types", "Scan Buffer Size", "Browser Width", "Browser Height", "Icon Width",
      "Icon Height", "Minimal Image Width", "Minimal Image Height", "PixbufFrame Icon X",
      "PixbufFrame Icon Y", "PixbufFrame Icon Width", "PixbufFrame Icon Height", "Icons",
      "Additional Load Types"};
  for (const char* key : keys) EXPECT_TRUE(config_.has(key)) << key;
  // The folder is the program's own: a line for it would stop the reading.
  EXPECT_FALSE(config_.has("Program Path"));
  // A present "Locale" overrides the desktop's language for every user.
  EXPECT_FALSE(config_.has("Locale"));
}

TEST_F(ProgramConfiguration, NumbersAreUsable) {
  const char* sizes[] = {"Splash Foreground Time", "Splash Background Time", "Browser Width",
                         "Browser Height", "Icon Width", "Icon Height"};
  for (const char* key : sizes) {
    EXPECT_GT(config_.getInt(key, -1), 0) << key;
    EXPECT_LE(config_.getInt(key, -1), 10000) << key;
  }
  EXPECT_GE(config_.getInt("Minimal Image Width", -1), 0);
  EXPECT_GE(config_.getInt("Minimal Image Height", -1), 0);
  EXPECT_LE(config_.getInt("Icon Width", 0), 999);  // the preferences' spin range
  EXPECT_LE(config_.getInt("Icon Height", 0), 999);
  uint32_t buffer = config_.getUnsigned("Scan Buffer Size", 0);
  EXPECT_GT(buffer, 0u);
  EXPECT_EQ(buffer % 512, 0u) << "the scan hands whole sectors only";
  std::string buses = config_.getString("Allowed Bus Types");
  EXPECT_EQ(buses.find(' '), std::string::npos) << "pieces are not trimmed: " << buses;
}

// Every setting line sits in a block that begins with a comment saying what
// it does; blocks are separated by blank lines.
TEST_F(ProgramConfiguration, EverySettingIsExplained) {
  std::istringstream in(readFile(path_));
  std::string line;
  bool explained = false;
  int settings = 0;
  while (std::getline(in, line)) {
    std::string t = trim(line);
    if (t.empty()) {
      explained = false;
    } else if (t[0] == '#') {
      explained = true;
    } else {
      ++settings;
      EXPECT_TRUE(explained) << "no comment before: " << t;
    }
  }
  EXPECT_EQ(settings, static_cast<int>(config_.values().size()));
}

TEST_F(ProgramConfiguration, NamedFilesExist) {
  PngSize icon = pngSize(kApp + "/" + config_.getString("Program Icon"));
  EXPECT_TRUE(icon.ok) << config_.getString("Program Icon");
  for (const char* language : {"en", "de"}) {
    std::string folder = kApp + "/lib/locale/" + language + "/";
    EXPECT_TRUE(pngSize(folder + config_.getString("Splash Image")).ok) << folder;
    std::string manual = readFile(folder + config_.getString("Manual File"));
    EXPECT_NE(manual.find("<html"), std::string::npos) << folder;
    // The manual explains the command line, its exit codes and the safety rules.
    for (const char* word : {"mzk-recover", "--list", "--types", "--min-size", "--keep-names",
                             "--report", "-o ", "<td>3</td>", "Scan a Saved Card File"}) {
      if (std::string(language) == "de" && std::string(word) == "Scan a Saved Card File")
        word = "Gespeicherte Kartendatei durchsuchen";
      EXPECT_NE(manual.find(word), std::string::npos) << folder << " " << word;
    }
  }
}

// The frame's picture area must lie inside the frame picture, or the frame
// code falls back to its default proportions with a log line.
TEST_F(ProgramConfiguration, FramePicturesMatchTheirArea) {
  PngSize frame = pngSize(kApp + "/icons/PixbufFrame.png");
  PngSize selected = pngSize(kApp + "/icons/PixbufFrameSelected.png");
  ASSERT_TRUE(frame.ok);
  ASSERT_TRUE(selected.ok);
  EXPECT_GE(frame.width, 10u);
  EXPECT_GE(frame.height, 10u);
  EXPECT_EQ(selected.width, frame.width);
  EXPECT_EQ(selected.height, frame.height);
  int x = config_.getInt("PixbufFrame Icon X", -1), y = config_.getInt("PixbufFrame Icon Y", -1);
  int w = config_.getInt("PixbufFrame Icon Width", -1);
  int h = config_.getInt("PixbufFrame Icon Height", -1);
  ASSERT_GE(x, 0);
  ASSERT_GE(y, 0);
  ASSERT_GT(w, 0);
  ASSERT_GT(h, 0);
  EXPECT_LE(x + w, static_cast<int>(frame.width));
  EXPECT_LE(y + h, static_cast<int>(frame.height));
  // Area and icon size are equal, so the frame is shown unscaled and sharp.
  EXPECT_EQ(w, config_.getInt("Icon Width", 0));
  EXPECT_EQ(h, config_.getInt("Icon Height", 0));
}

// The "Icons" list maps types to icons/type-<icon>.png.  Every type a
// module, the pattern files or the raw-data command gives a found file has
// an icon, and so has "default".
TEST_F(ProgramConfiguration, EveryFoundTypeHasAnIcon) {
  std::map<std::string, std::string> icons;
  for (const std::string& entry : splitAt(config_.getString("Icons"), ',')) {
    std::vector<std::string> parts = splitAt(trim(entry), ':');
    ASSERT_EQ(parts.size(), 2u) << entry;
    EXPECT_TRUE(icons.emplace(parts[0], parts[1]).second) << "type twice: " << parts[0];
    EXPECT_TRUE(pngSize(kApp + "/icons/type-" + parts[1] + ".png").ok) << parts[1];
  }
  std::set<std::string> types = {
      "default", "img", "jpeg", "jpg", "tiff", "tif", "riff", "avi", "wav", "rmi", "ani", "mp3",
      "mpeg", "mpg", "m1v", "m2v", "mov", "mp4", "asf", "wma", "wmv", "bmp", "crw", "gif", "png",
      "wmf", "nef", "mrw", "mos", "cr2", "dcr", "dng", "kdc", "k25", "pef", "arw", "sr2", "srf",
      "orf", "zip", "rar", "arj", "lzh", "dbx", "ole", "doc", "xls", "ppt", "fla", "pub", "vsd",
      "mpp", "vsmacros", "rpt", "suo", "msi", "text", "html", "xml", "txt", "docx", "xlsx", "pptx",
      "odt", "ods", "odp"};
  // The file-system modules hand what they meet to the file case and never
  // yield a file of their own type; the catch-all record "*" gives files
  // the type of their extension, which may be any: those get the default
  // icon.
  const std::set<std::string> fileSystemModules = {"BootSector", "Subdirectory", "ExfatBootRegion", "ExfatDirectory"};
  for (const char* file : {"/Scanner.cfg", "/FsScanner.cfg"}) {
    ConfigRecordList patterns;
    if (!readConfigList(patterns, kApp + file, "Type", '#')) continue;  // checked by the engine
    for (const ConfigRecord& p : patterns)
      if (!fileSystemModules.count(p.getString("Analyze File Module")) && p.getString("Type") != "*")
        types.insert(p.getString("Type"));
  }
  for (const std::string& type : types) EXPECT_EQ(icons.count(type), 1u) << "no icon: " << type;
}

// --- message catalogues ----------------------------------------------------

struct PoEntry {
  std::string id, plural;
  std::vector<std::string> strs;
  bool fuzzy = false;
};

std::string unquote(const std::string& s) {
  size_t b = s.find('"'), e = s.rfind('"');
  std::string out;
  if (b == std::string::npos || e <= b) return out;
  for (size_t i = b + 1; i < e; ++i) {
    if (s[i] == '\\' && i + 1 < e) {
      char c = s[++i];
      out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
    } else {
      out += s[i];
    }
  }
  return out;
}

// The entries of a .po or .pot file, header and obsolete entries left out.
std::vector<PoEntry> readPo(const std::string& path) {
  std::vector<PoEntry> entries;
  std::istringstream in(readFile(path));
  std::string line;
  PoEntry cur;
  std::string* field = nullptr;
  bool open = false;
  auto close = [&]() {
    if (open && !cur.id.empty()) entries.push_back(cur);
    cur = PoEntry();
    field = nullptr;
    open = false;
  };
  while (std::getline(in, line)) {
    if (line.empty()) {
      close();
    } else if (line.compare(0, 2, "#,") == 0) {
      if (line.find("fuzzy") != std::string::npos) cur.fuzzy = true;
    } else if (line[0] == '#') {
      continue;
    } else if (line.compare(0, 13, "msgid_plural ") == 0) {
      cur.plural = unquote(line);
      field = &cur.plural;
    } else if (line.compare(0, 6, "msgid ") == 0) {
      if (open && field != &cur.id) close();
      open = true;
      cur.id = unquote(line);
      field = &cur.id;
    } else if (line.compare(0, 6, "msgstr") == 0) {
      cur.strs.push_back(unquote(line.substr(line.find(' '))));
      field = &cur.strs.back();
    } else if (line[0] == '"' && field) {
      *field += unquote(line);
    }
  }
  close();
  return entries;
}

std::multiset<std::string> placeholders(const std::string& s) {
  std::multiset<std::string> out;
  for (size_t i = 0; i + 1 < s.size(); ++i)
    if (s[i] == '%' && s[i + 1] >= '1' && s[i + 1] <= '5') out.insert(s.substr(i, 2));
  return out;
}

size_t count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t i = s.find(what); i != std::string::npos; i = s.find(what, i + what.size())) ++n;
  return n;
}

size_t characters(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

TEST(MessageCatalogue, GermanTranslatesEveryTextOfTheTemplate) {
  std::vector<PoEntry> pot = readPo(kSource + "/po/mzk.pot");
  std::vector<PoEntry> de = readPo(kSource + "/po/de.po");
  ASSERT_GT(pot.size(), 20u);
  std::map<std::string, PoEntry> byId;
  for (const PoEntry& e : de) byId[e.id] = e;
  for (const PoEntry& e : pot) {
    auto it = byId.find(e.id);
    ASSERT_NE(it, byId.end()) << "not in de.po (run scripts/update-po.sh): " << e.id;
    const PoEntry& t = it->second;
    EXPECT_FALSE(t.fuzzy) << e.id;
    ASSERT_EQ(t.strs.size(), e.plural.empty() ? 1u : 2u) << e.id;
    for (size_t form = 0; form < t.strs.size(); ++form) {
      const std::string& s = t.strs[form];
      // German has the English forms: one, and every other number.
      const std::string& english = form == 0 ? e.id : e.plural;
      EXPECT_FALSE(s.empty()) << "untranslated: " << e.id;
      // Each form keeps the placeholders, the markup and the mnemonic.
      EXPECT_EQ(placeholders(s), placeholders(english)) << english << " -> " << s;
      EXPECT_EQ(count(s, "<span"), count(english, "<span")) << english;
      EXPECT_EQ(count(s, "</span>"), count(english, "</span>")) << english;
      EXPECT_EQ(count(s, "_") > 0, count(english, "_") > 0) << english << " -> " << s;
      // Far longer than its English text is usually two entries run together
      // by a hand edit.
      EXPECT_LE(characters(s), characters(english) * 5 / 2 + 12) << english << " -> " << s;
    }
  }
}

std::string withoutMnemonic(std::string s) {
  size_t u = s.find('_');
  if (u != std::string::npos) s.erase(u, 1);
  return s;
}

// The menu and button names that a manual mentions, "File &rarr; Print"
// giving two, blanks and line breaks folded.
std::set<std::string> manualLabels(const std::string& path) {
  std::set<std::string> labels;
  std::string html = readFile(path);
  const std::string open = "<span class=\"menu\">", arrow = " &rarr; ";
  for (size_t b = html.find(open); b != std::string::npos; b = html.find(open, b)) {
    b += open.size();
    size_t e = html.find("</span>", b);
    if (e == std::string::npos) break;
    std::string text;
    for (char c : html.substr(b, e - b)) {
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
    EXPECT_EQ(german.count(withoutMnemonic(e.strs[0])), 1u)
        << e.id << ": the German manual should say " << withoutMnemonic(e.strs[0]);
  }
  EXPECT_GT(matched, 10);
}

// The catalogue must be a proper one for msgfmt, plural formula included.
TEST(MessageCatalogue, CompilesCleanly) {
  std::string command = "msgfmt --check --statistics -o /dev/null '" + kSource + "/po/de.po' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buf[256];
  while (fgets(buf, sizeof buf, pipe)) out += buf;
  int status = pclose(pipe);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) GTEST_SKIP() << "msgfmt is not installed";
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("translated message"), std::string::npos) << out;
  EXPECT_EQ(out.find("untranslated"), std::string::npos) << out;
  EXPECT_EQ(out.find("fuzzy"), std::string::npos) << out;
  EXPECT_NE(readFile(kSource + "/po/de.po").find("Plural-Forms: nplurals=2; plural=(n != 1);"),
            std::string::npos);
}

// Every text the sources mark for translation is in the template.
TEST(MessageCatalogue, TemplateIsCurrent) {
  std::string fresh = testing::TempDir() + "/mzk-fresh.pot";
  std::string command = "cd '" + kSource +
                        "' && xgettext --from-code=UTF-8 --language=C++ --keyword=_ --keyword=N_ "
                        "--keyword=ngettext:1,2 -o '" + fresh +
                        "' $(find shell ui media engine fat recover thumbs update cli device "
                        "-name '*.cpp' -o -name '*.h' 2>/dev/null) 2>/dev/null";
  int status = system(command.c_str());
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) GTEST_SKIP() << "xgettext is not installed";
  ASSERT_EQ(status, 0);
  std::set<std::string> known;
  for (const PoEntry& e : readPo(kSource + "/po/mzk.pot")) known.insert(e.id);
  for (const PoEntry& e : readPo(fresh))
    EXPECT_EQ(known.count(e.id), 1u) << "new text, run scripts/update-po.sh and translate: " << e.id;
  std::remove(fresh.c_str());
}

// The program binds its catalogue in its own folder; under a German
// language the compiled catalogue answers, plural forms included.
class GermanCatalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    savedLocale_ = setlocale(LC_ALL, nullptr);
    saveEnv("LANGUAGE");
    saveEnv("LC_ALL");
    if (!setlocale(LC_ALL, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
    setenv("LANGUAGE", "de", 1);
  }
  void TearDown() override {
    for (auto& e : savedEnv_) {
      if (e.second.first) setenv(e.first.c_str(), e.second.second.c_str(), 1);
      else unsetenv(e.first.c_str());
    }
    setlocale(LC_ALL, savedLocale_.c_str());
  }
  void saveEnv(const char* name) {
    const char* v = getenv(name);
    savedEnv_[name] = {v != nullptr, v ? v : ""};
  }
  std::string savedLocale_;
  std::map<std::string, std::pair<bool, std::string>> savedEnv_;
};

TEST_F(GermanCatalogue, ProgramStartUpFindsIt) {
  ASSERT_TRUE(exists(kApp + "/lib/locale/de/LC_MESSAGES/mzk.mo"));
  ConfigRecord config;
  std::string argv0 = kApp + "/mzk";
  char* argv[] = {&argv0[0], nullptr};
  ASSERT_EQ(programInitCore(config, 1, argv), 0);
  EXPECT_EQ(config.getString("Program Name"), "mzk");  // the real mzk.cfg was read
  EXPECT_STREQ(dgettext("mzk", "Do you want to quit the program?"),
               "Möchten Sie das Programm beenden?");
  EXPECT_STREQ(dgettext("mzk", "Exception: %1"), "Ausnahme: %1");
  EXPECT_STREQ(dngettext("mzk", "minute", "minutes", 1), "Minute");
  EXPECT_STREQ(dngettext("mzk", "minute", "minutes", 5), "Minuten");
  EXPECT_STREQ(dngettext("mzk", "hour", "hours", 0), "Stunden");
  EXPECT_STREQ(dngettext("mzk", "second", "seconds", 2), "Sekunden");
  // Texts outside the catalogue stay as they are.
  EXPECT_STREQ(dgettext("mzk", "no such text in mzk"), "no such text in mzk");
}

// --- installation ------------------------------------------------------------

std::string run(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return out;
  char buf[512];
  while (fgets(buf, sizeof buf, pipe)) out += buf;
  int st = pclose(pipe);
  if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return out;
}

// The installed command-line tool starts through its wrapper in bin/, finds
// its configuration and pattern files in lib/mzk and keeps working when the
// whole tree is moved elsewhere or reached through a symbolic link.
TEST(Installation, ToolRunsFromAMovedPrefix) {
  if (!exists(kApp + "/mzk-recover")) GTEST_SKIP() << "mzk-recover is not built";
  std::string dir = testing::TempDir() + "/mzk-install-test";
  run("rm -rf '" + dir + "'");
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  int status = -1;
  std::string out = run("cmake --install '" + kApp + "/..' --prefix '" + dir +
                            "/a' --component program",
                        &status);
  ASSERT_EQ(status, 0) << out;
  for (const char* f : {"/a/bin/mzk-recover", "/a/lib/mzk/mzk-recover", "/a/lib/mzk/mzk.cfg",
                        "/a/lib/mzk/icons/type-default.png", "/a/lib/mzk/icons/PixbufFrame.png",
                        "/a/lib/mzk/lib/locale/de/LC_MESSAGES/mzk.mo",
                        "/a/lib/mzk/lib/locale/en/manual.html"})
    EXPECT_TRUE(exists(dir + f)) << f;

  // A card image: a JPEG at byte 8192 between random sectors.
  std::string image = dir + "/card.img", photo = dir + "/photo.jpg";
  out = run("convert -size 160x120 gradient:red-blue '" + photo + "'", &status);
  if (status != 0) GTEST_SKIP() << "ImageMagick is not installed: " << out;
  std::string photoData = readFile(photo);
  ASSERT_GT(photoData.size(), 100u);
  std::string card(64 * 512, '\0');
  for (size_t i = 0; i < card.size(); ++i) card[i] = static_cast<char>((i * 7919 + 13) >> 3);
  card.replace(8192, photoData.size(), photoData);
  std::ofstream(image, std::ios::binary) << card;
  std::string expected = "8192\t" + std::to_string(photoData.size()) + "\tjpeg";

  ASSERT_EQ(rename((dir + "/a").c_str(), (dir + "/b").c_str()), 0);
  ASSERT_EQ(symlink((dir + "/b/bin/mzk-recover").c_str(), (dir + "/tool").c_str()), 0);
  for (const std::string& tool : {dir + "/b/bin/mzk-recover", dir + "/tool"}) {
    out = run("cd / && '" + tool + "' --list '" + image + "'", &status);
    EXPECT_EQ(status, 0) << tool << ": " << out;
    EXPECT_NE(out.find(expected), std::string::npos) << tool << ": " << out;
  }
  run("rm -rf '" + dir + "'");
}

}  // namespace
