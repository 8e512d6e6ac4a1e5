// The "Save Debug" dump decoded back to the log text, and the command that
// writes it.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <zlib.h>

#include <memory>
#include <string>
#include <vector>

#include "shell/DebugLog.h"
#include "tests/ui/WindowTestDriver.h"
#include "ui/DebugDump.h"
#include "ui/WindowBase.h"

using namespace wintest;

namespace {

uint32_t le32At(const std::string& s, size_t at) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s.data()) + at;
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

// The log text back from a dump, or "<bad>".  The XOR pass is undone from
// the end: the last byte is as it was, each byte before it gets its value
// back from the restored byte after it.
std::string decode(std::string dump) {
  for (size_t i = dump.size(); i-- > 1;) dump[i - 1] = static_cast<char>(dump[i - 1] ^ dump[i]);
  if (dump.size() < 8 || le32At(dump, 0) != le32At(dump, 4)) return "<bad>";
  // From byte 8: exactly what zlib makes of the text at level 9.
  std::string text(le32At(dump, 0), '\0');
  std::vector<Bytef> packed(compressBound(text.size()));
  uLongf size = packed.size();
  uLongf length = text.size();
  if (uncompress(reinterpret_cast<Bytef*>(&text[0]), &length, reinterpret_cast<const Bytef*>(dump.data() + 8),
                 dump.size() - 8) != Z_OK ||
      compress2(packed.data(), &size, reinterpret_cast<const Bytef*>(text.data()), text.size(), 9) != Z_OK ||
      dump.compare(8, std::string::npos, reinterpret_cast<char*>(packed.data()), size) != 0)
    return "<bad>";
  return text;
}

}  // namespace

TEST(DebugDump, EveryTextDecodesBack) {
  std::string log;
  for (int i = 0; i < 2000; ++i) log += "Config(193): /some/path " + std::to_string(i) + "\n";
  // Random bytes grow under zlib (stored blocks): around the block sizes.
  std::vector<std::string> texts = {"", "abc", log};
  for (size_t n : {1u, 999u, 1000u, 16384u, 70000u}) texts.push_back(patternBytes(n, static_cast<unsigned>(n)));
  for (const std::string& text : texts) {
    std::string dump;
    ASSERT_TRUE(encodeDebugDump(text, dump)) << text.size();
    EXPECT_TRUE(decode(dump) == text) << text.size();
  }
}

typedef WindowTest SaveDebug;

TEST_F(SaveDebug, WritesTheLogAndReplacesAnEarlierDumpAfterTheChooserAsked) {
  DebugLogCapture log;
  WindowBase window(nullptr, &media, fileCase.get(), &config, false);
  window.setLastFolder(tmp.path());
  for (const char* line : {"Browser(703): 4096 512\nFotos & <Videos>\n", "second run\n"}) {
    dlog() << line;
    std::string proposed;
    DialogScript script;
    DialogScript::Action answer = choose(tmp.file("mzk.dbg"));
    script.then("Select Destination File", [&](GtkWidget* dialog) {
      if (proposed.empty()) proposed = gtk_entry_get_text(GTK_ENTRY(widgetsOf(dialog, GTK_TYPE_ENTRY)[0]));
      return answer(dialog);
    });
    // The chooser's own overwrite question is an untitled box.
    if (tmp.exists("mzk.dbg")) script.then("", respond(GTK_RESPONSE_ACCEPT));
    runAction(window, "SaveDebug", script);
    EXPECT_EQ(proposed, "mzk.dbg");
    // The log up to the save, this line included.
    const std::string decoded = decode(readWhole(tmp.file("mzk.dbg")));
    EXPECT_NE(decoded.find(line), std::string::npos);
    EXPECT_EQ(log.text().compare(0, decoded.size(), decoded), 0);
  }
}
