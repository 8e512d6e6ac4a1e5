// The "Save Debug" dump: its header, zlib stream and XOR pass decoded back
// to the log text, and the command that writes it.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <zlib.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "filesystems/FileSystems.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "tests/ui/WindowTestDriver.h"
#include "ui/DebugDump.h"
#include "ui/WindowBase.h"

using namespace wintest;

namespace {

// Undoes the XOR pass: the last byte is as it was; going downwards each
// byte gets back its own value from the already restored byte after it.
std::string unscramble(std::string dump) {
  for (size_t i = dump.size(); i-- > 1;) dump[i - 1] = static_cast<char>(dump[i - 1] ^ dump[i]);
  return dump;
}

uint32_t le32At(const std::string& s, size_t at) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s.data()) + at;
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

// The log text back from a dump, or "<bad>".
std::string decode(const std::string& dump) {
  const std::string plain = unscramble(dump);
  if (plain.size() < 8 || le32At(plain, 0) != le32At(plain, 4)) return "<bad>";
  uLongf length = le32At(plain, 0);
  std::string text(length, '\0');
  if (uncompress(reinterpret_cast<Bytef*>(&text[0]), &length,
                 reinterpret_cast<const Bytef*>(plain.data() + 8), plain.size() - 8) != Z_OK)
    return "<bad>";
  text.resize(length);
  return text;
}

}  // namespace

// ---- the encoding ----

TEST(DebugDump, ThreeByteTextHasTheLengthTwiceBeforeTheXorPass) {
  std::string dump;
  ASSERT_TRUE(encodeDebugDump("abc", dump));
  const std::string plain = unscramble(dump);
  EXPECT_EQ(plain.substr(0, 8), std::string("\x03\0\0\0\x03\0\0\0", 8));
  // From byte 8: exactly what compress2 at level 9 makes of the text.
  std::vector<Bytef> packed(64);
  uLongf size = packed.size();
  ASSERT_EQ(compress2(packed.data(), &size, reinterpret_cast<const Bytef*>("abc"), 3, 9), Z_OK);
  EXPECT_EQ(plain.substr(8), std::string(reinterpret_cast<char*>(packed.data()), size));
  // The last byte is left as it was; the one before it is scrambled.
  EXPECT_EQ(dump.back(), plain.back());
  EXPECT_EQ(static_cast<char>(dump[dump.size() - 2]),
            static_cast<char>(plain[plain.size() - 2] ^ plain.back()));
}

TEST(DebugDump, LogTextDecodesBack) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "Config(193): /some/path " + std::to_string(i) + "\n";
  std::string dump;
  ASSERT_TRUE(encodeDebugDump(text, dump));
  EXPECT_LT(dump.size(), text.size() / 4);  // level 9 packs a repetitive log well
  EXPECT_EQ(le32At(unscramble(dump), 0), text.size());
  EXPECT_EQ(decode(dump), text);
}

TEST(DebugDump, EmptyTextStillMakesAWholeDump) {
  std::string dump;
  ASSERT_TRUE(encodeDebugDump("", dump));
  EXPECT_EQ(unscramble(dump).substr(0, 8), std::string(8, '\0'));
  EXPECT_EQ(decode(dump), "");
}

TEST(DebugDump, IncompressibleTextsOfEverySmallSizeEncode) {
  // Random bytes grow under zlib (stored blocks); the dump must still
  // hold all of them, around the block sizes of the format.
  for (size_t n : {1u, 100u, 999u, 1000u, 16384u, 70000u}) {
    const std::string text = patternBytes(n, static_cast<unsigned>(n));
    std::string dump;
    ASSERT_TRUE(encodeDebugDump(text, dump)) << n;
    EXPECT_EQ(decode(dump), text) << n;
  }
}

// ---- the command ----

namespace {

class DumpWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gtkReady()) << "no display: run under xvfb-run";
    config.set("Program Path", MZK_APP_DIR);
    fileCase.reset(new FileCase(config, allFileSystems()));
  }
  ConfigRecord config, media;
  std::unique_ptr<FileCase> fileCase;
  TempFolder tmp;
};

}  // namespace

TEST_F(DumpWindowTest, SaveDebugWritesTheLogCollectedSoFar) {
  DebugLogCapture log;
  dlog() << "Browser(703): 4096 512\n" << "Fotos & <Videos>\n";
  WindowBase window(nullptr, &media, fileCase.get(), &config, false);
  DialogScript script;
  std::vector<std::string> proposed;
  DialogScript::Action answer = choose(tmp.file("mzk.dbg"));
  script.then("Select Destination File", [&](GtkWidget* dialog) {
    if (proposed.empty()) {
      std::vector<GtkWidget*> entries = widgetsOf(dialog, GTK_TYPE_ENTRY);
      proposed.push_back(entries.empty() ? "" : gtk_entry_get_text(GTK_ENTRY(entries[0])));
    }
    return answer(dialog);
  });
  gtk_action_activate(gtk_action_group_get_action(window.actionGroup(), "SaveDebug"));
  ASSERT_TRUE(script.finished());
  EXPECT_EQ(proposed[0], "mzk.dbg");
  const std::string decoded = decode(readWhole(tmp.file("mzk.dbg")));
  EXPECT_EQ(decoded.substr(0, 40), "Browser(703): 4096 512\nFotos & <Videos>\n");
  EXPECT_EQ(log.text().compare(0, decoded.size(), decoded), 0);
  EXPECT_TRUE(script.unexpected.empty());
}

TEST_F(DumpWindowTest, SaveDebugReplacesAnEarlierDumpAfterTheChooserAsked) {
  DebugLogCapture log;
  dlog() << "second run\n";
  writeWhole(tmp.file("mzk.dbg"), "an older dump");
  WindowBase window(nullptr, &media, fileCase.get(), &config, false);
  DialogScript script;
  // The chooser's own overwrite question is an untitled box.
  script.then("Select Destination File", choose(tmp.file("mzk.dbg")))
      .then("", respond(GTK_RESPONSE_ACCEPT));
  gtk_action_activate(gtk_action_group_get_action(window.actionGroup(), "SaveDebug"));
  ASSERT_TRUE(script.finished());
  EXPECT_EQ(decode(readWhole(tmp.file("mzk.dbg"))).substr(0, 11), "second run\n");
}
