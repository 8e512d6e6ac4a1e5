// The pattern file: records, keys and defaults, every failure, the escapes
// of signatures, and matching a sector.

#include "engine/PatternsFile.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "EngineFixtures.h"
#include "engine/FileModuleRegistry.h"
#include "shell/CString.h"

namespace {

// The records as "type:bytes@offset(max)" plus "+scan" and "+analyze" for
// modules, or the text of the failure.
std::string load(const std::string& text) {
  FileModuleRegistry registry;
  PatternTable table;
  std::string failure;
  try {
    loadPatternsFromText(text, "test.cfg", registry, table);
  } catch (const std::runtime_error& e) {
    failure = std::string(" ") + e.what();
  }
  std::string out;
  for (const Pattern& p : table) {
    out += (out.empty() ? "" : " ") + p.type() + ":" + std::string(reinterpret_cast<const char*>(p.bytes()), p.length()) +
           "@" + std::to_string(p.offset()) + "(" + std::to_string(p.maxSize()) + ")";
    if (p.scanModule()) out += p.scanModule() == registry.findModule("jpeg") ? "+scan" : "+other";
    if (p.analyzeModule()) out += p.analyzeModule() == registry.findModule("jpeg") ? "+analyze" : "+other";
  }
  return out + failure;
}

std::string unescaped(const std::string& text) {
  try {
    return unescape(text);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
}

}  // namespace

TEST(Unescape, EscapesAndTheirFaults) {
  const std::pair<const char*, std::string> cases[] = {
      {"\\xFF\\xD8\\xff", "\xFF\xD8\xFF"}, {"\\x9", "\x09"},         {"\\x41z", "Az"},
      {"\\101", "A"},                      {"\\0", std::string(1, '\0')}, {"\\1018", "A8"},
      {"\\377", "\xFF"},                   {"\\12x", "\nx"},         {"\\n\\t\\v\\b\\r\\f\\a", "\n\t\v\b\r\f\a"},
      {"a\\\\b", "a\\b"},                  {"RIFF", "RIFF"},         {"", ""},
      {"\\400", "CString(28)"},            {"\\x", "CString(42)"},   {"\\xg", "CString(42)"},
      {"\\x4142", "CString(60)"},          {"\\x414", "CString(60)"}, {"\\q", "CString(86)"},
      {"abc\\", "CString(86)"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, unescaped(c.first)) << c.first;
}

TEST(PatternsLoad, RecordsDefaultsAndFailures) {
  std::string sig64, max = std::to_string(Pattern::kDefaultMaxSize);
  for (int i = 0; i < 64; ++i) sig64 += "\\x55";
  const std::pair<std::string, std::string> cases[] = {
      {"# photos\nType: jpeg\nPattern: \\xFF\\xD8\\xFF\nScan File Module: jpeg\n"
       "Analyze File Module: jpeg   # walk the markers\nMax Size: 50000000\n\nType: raw\nPattern: II\nPattern Offset: 8\n",
       "jpeg:\xFF\xD8\xFF@0(50000000)+scan+analyze raw:II@8(" + max + ")"},
      {"Type: img\n", "img:@0(" + max + ")"},
      {"Pattern: abc\nMax Size: 5\n", ""},
      {"Type: a\nMax Size: lots\nType: b\nMax Size: -1\n", "a:@0(" + max + ") b:@0(18446744073709551615)"},
      {"Type: a\nPattern Offset: 9999\n", "a:@0(" + max + ")"},
      {"Type: a\nPattern: \\x20z\\x23y\\t\n", "a: z#y\t@0(" + max + ")"},
      {"Type: a\nno colon here\n", " PatternsFile(17)"},
      {"Type: a\nPattern: x\nPattern: y\n", " PatternsFile(17)"},
      {"Type: jpeg\nAnalyze File Module: JPEG\n", " PatternsFile(47)"},
      {"Type: jpeg\nScan File Module: nosuch\n", " PatternsFile(38)"},
      {"Type: a\nType: b\nPattern: \\q\nType: c\n", "a:@0(" + max + ") CString(86)"},
      {"Type: a\nPattern: \\x4142\n", " CString(60)"},
      {"Type: a\nPattern: " + sig64 + "\nPattern Offset: 448\n", "a:" + std::string(64, 'U') + "@448(" + max + ")"},
      {"Type: a\nPattern: " + sig64 + "\nPattern Offset: 449\n", " Patterns(58)"},
      {"Type: a\nPattern: " + sig64 + "U\n", " Patterns(58)"},
      // -1 becomes offset 0xFFFFFFFF: refused, not wrapped round to a small sum.
      {"Type: a\nPattern: AB\nPattern Offset: -1\n", " Patterns(58)"},
      {"Type: a\nPattern: A\nPattern Offset: 511\n", "a:A@511(" + max + ")"},
      {"Type: a\nPattern: AB\nPattern Offset: 511\n", " Patterns(58)"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, load(c.first)) << c.first;
}

TEST(PatternsLoad, FromAFile) {
  mzktest::TempDir dir;
  dir.write("Scanner.cfg", "Type: jpeg\nPattern: \\xFF\\xD8\n");
  FileModuleRegistry registry;
  PatternTable t;
  loadPatterns(dir.file("Scanner.cfg"), registry, t);
  EXPECT_EQ(1u, t.size());
  EXPECT_THROW(loadPatterns(dir.file("absent.cfg"), registry, t), std::runtime_error);
}

TEST(PatternMatch, BytesAtTheOffsetThenTheScanModule) {
  Pattern p;
  uint8_t bytes[4] = {'M', 'Z', 3, 4};
  EXPECT_THROW(p.setPattern(UINT32_MAX - 1, bytes, 4), std::runtime_error);
  EXPECT_EQ(0u, p.length()) << "unchanged after a refusal";
  p.setPattern(100, bytes, 2);
  uint8_t sector[512] = {};
  EXPECT_FALSE(p.matches(sector, 512));
  sector[100] = 'M';
  sector[101] = 'Z';
  EXPECT_TRUE(p.matches(sector, 512));
  EXPECT_FALSE(p.matches(sector, 101)) << "the sector is shorter than the signature's end";
  ScriptedModule module;
  module.scanResult = false;
  p.setScanModule(&module);
  EXPECT_FALSE(p.matches(sector, 512));
  sector[101] = 'X';
  EXPECT_FALSE(p.matches(sector, 512));
  EXPECT_EQ(1, module.scans) << "no scan when the bytes differ";
  Pattern any;
  any.setScanModule(&module);
  EXPECT_FALSE(any.matches(sector, 512));
  module.scanResult = true;
  EXPECT_TRUE(any.matches(sector, 512));
}
