// The pattern file: records, keys and defaults, every failure text, the
// escape decoding of signatures, and matching a sector.

#include "engine/PatternsFile.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "EngineFixtures.h"
#include "engine/FileModuleRegistry.h"
#include "shell/CString.h"
#include "shell/DebugLog.h"

namespace {

std::string failureOf(const std::string& text, PatternTable* table = nullptr) {
  FileModuleRegistry registry;
  PatternTable local;
  try {
    loadPatternsFromText(text, "test.cfg", registry, table ? *table : local);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

PatternTable load(const std::string& text, const FileModuleRegistry& registry) {
  PatternTable table;
  loadPatternsFromText(text, "test.cfg", registry, table);
  return table;
}

std::string bytesOf(const Pattern& p) { return std::string(reinterpret_cast<const char*>(p.bytes()), p.length()); }

std::string unescapeFailure(const std::string& text) {
  try {
    unescape(text);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

// --- escapes --------------------------------------------------------------

TEST(Unescape, HexEscapesGiveTheirBytes) {
  EXPECT_EQ(unescape("\\xFF\\xD8\\xff"), std::string("\xFF\xD8\xFF", 3));
  EXPECT_EQ(unescape("\\x9"), std::string("\x09", 1));
  EXPECT_EQ(unescape("\\x41z"), "Az");
}

TEST(Unescape, OctalEscapesTakeUpToThreeDigits) {
  EXPECT_EQ(unescape("\\101"), "A");
  EXPECT_EQ(unescape("\\0"), std::string(1, '\0'));
  EXPECT_EQ(unescape("\\1018"), "A8");
  EXPECT_EQ(unescape("\\377"), "\xFF");
  EXPECT_EQ(unescape("\\12x"), "\nx");
}

TEST(Unescape, LetterEscapesAndPlainText) {
  EXPECT_EQ(unescape("\\n\\t\\v\\b\\r\\f\\a"), "\n\t\v\b\r\f\a");
  EXPECT_EQ(unescape("a\\\\b"), "a\\b");
  EXPECT_EQ(unescape("RIFF"), "RIFF");
  EXPECT_EQ(unescape(""), "");
}

TEST(Unescape, EachFaultHasItsTag) {
  EXPECT_EQ(unescapeFailure("\\400"), "CString(28)");
  EXPECT_EQ(unescapeFailure("\\x"), "CString(42)");
  EXPECT_EQ(unescapeFailure("\\xg"), "CString(42)");
  EXPECT_EQ(unescapeFailure("\\x4142"), "CString(60)");
  EXPECT_EQ(unescapeFailure("\\x414"), "CString(60)");
  EXPECT_EQ(unescapeFailure("\\q"), "CString(86)");
  EXPECT_EQ(unescapeFailure("abc\\"), "CString(86)");
}

// --- records and keys -----------------------------------------------------

TEST(PatternsLoad, RecordsComeInFileOrderWithTheirKeys) {
  FileModuleRegistry registry;
  PatternTable t = load(
      "# photos\n"
      "Type: jpeg\n"
      "Pattern: \\xFF\\xD8\\xFF\n"
      "Scan File Module: jpeg\n"
      "Analyze File Module: jpeg   # walk the markers\n"
      "Max Size: 50000000\n"
      "\n"
      "Type: raw\n"
      "Pattern: II\n"
      "Pattern Offset: 8\n",
      registry);
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].type(), "jpeg");
  EXPECT_EQ(bytesOf(t[0]), std::string("\xFF\xD8\xFF", 3));
  EXPECT_EQ(t[0].offset(), 0u);
  EXPECT_EQ(t[0].scanModule(), registry.findModule("jpeg"));
  EXPECT_EQ(t[0].analyzeModule(), registry.findModule("jpeg"));
  EXPECT_EQ(t[0].maxSize(), 50000000u);
  EXPECT_EQ(t[1].type(), "raw");
  EXPECT_EQ(bytesOf(t[1]), "II");
  EXPECT_EQ(t[1].offset(), 8u);
  EXPECT_EQ(t[1].scanModule(), nullptr);
  EXPECT_EQ(t[1].maxSize(), Pattern::kDefaultMaxSize);
}

TEST(PatternsLoad, TypeOnlyRecordMatchesEverySector) {
  FileModuleRegistry registry;
  PatternTable t = load("Type: img\n", registry);
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].length(), 0u);
  EXPECT_EQ(t[0].analyzeModule(), nullptr);
  uint8_t sector[512] = {};
  EXPECT_TRUE(t[0].matches(sector, 512));
}

TEST(PatternsLoad, NoTypeLineGivesNoRecords) {
  FileModuleRegistry registry;
  EXPECT_TRUE(load("Pattern: abc\nMax Size: 5\n", registry).empty());
}

TEST(PatternsLoad, UnreadableMaxSizeTakesTheDefaultAndNegativeBecomesHuge) {
  FileModuleRegistry registry;
  PatternTable t = load("Type: a\nMax Size: lots\nType: b\nMax Size: -1\n", registry);
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].maxSize(), 100000000u);
  EXPECT_EQ(t[1].maxSize(), UINT64_MAX);
}

TEST(PatternsLoad, OffsetWithoutPatternIsIgnored) {
  FileModuleRegistry registry;
  PatternTable t = load("Type: a\nPattern Offset: 9999\n", registry);
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].offset(), 0u);
}

TEST(PatternsLoad, EscapedBlanksAndHashSurviveTrimmingAndComments) {
  FileModuleRegistry registry;
  PatternTable t = load("Type: a\nPattern: \\x20z\\x23y\\t\n", registry);
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(bytesOf(t[0]),  " z#y\t");
}

TEST(PatternsLoad, FromFileAndMissingFile) {
  TempDir dir;
  dir.write("Scanner.cfg", "Type: jpeg\nPattern: \\xFF\\xD8\n");
  FileModuleRegistry registry;
  PatternTable t;
  loadPatterns(dir.file("Scanner.cfg"), registry, t);
  ASSERT_EQ(t.size(), 1u);

  DebugLogCapture log;
  try {
    loadPatterns(dir.file("absent.cfg"), registry, t);
    FAIL() << "a missing file must throw";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "PatternsFile(17)");
  }
  EXPECT_NE(log.text().find("PatternsFile(16): " + dir.file("absent.cfg")), std::string::npos);
}

// --- failures -------------------------------------------------------------

TEST(PatternsFailure, InvalidFilesThrow17AndLog16) {
  DebugLogCapture log;
  EXPECT_EQ(failureOf("Type: a\nno colon here\n"), "PatternsFile(17)");
  EXPECT_EQ(failureOf("Type: a\nPattern: x\nPattern: y\n"), "PatternsFile(17)");
  EXPECT_NE(log.text().find("PatternsFile(16): test.cfg"), std::string::npos);
}

TEST(PatternsFailure, UnknownModulesAreCaseSensitive) {
  DebugLogCapture log;
  EXPECT_EQ(failureOf("Type: jpeg\nAnalyze File Module: JPEG\n"), "PatternsFile(47)");
  EXPECT_NE(log.text().find("PatternsFile(46): JPEG"), std::string::npos);
  EXPECT_EQ(failureOf("Type: jpeg\nScan File Module: nosuch\n"), "PatternsFile(38)");
  EXPECT_NE(log.text().find("PatternsFile(37): nosuch"), std::string::npos);
}

TEST(PatternsFailure, RecordsBeforeTheFailureStay) {
  PatternTable t;
  EXPECT_EQ(failureOf("Type: a\nType: b\nPattern: \\q\nType: c\n", &t), "CString(86)");
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].type(), "a");
}

TEST(PatternsFailure, BadEscapesPassTheirTagOn) {
  EXPECT_EQ(failureOf("Type: a\nPattern: \\400\n"), "CString(28)");
  EXPECT_EQ(failureOf("Type: a\nPattern: \\x\n"), "CString(42)");
  EXPECT_EQ(failureOf("Type: a\nPattern: \\x4142\n"), "CString(60)");
}

TEST(PatternsFailure, SignatureMustLieInsideTheSector) {
  std::string sig64;
  for (int i = 0; i < 64; ++i) sig64 += "\\x55";
  EXPECT_EQ(failureOf("Type: a\nPattern: " + sig64 + "\nPattern Offset: 448\n"), "");
  EXPECT_EQ(failureOf("Type: a\nPattern: " + sig64 + "\nPattern Offset: 449\n"), "Patterns(58)");
  EXPECT_EQ(failureOf("Type: a\nPattern: " + sig64 + "U\n"), "Patterns(58)");
  // -1 becomes offset 0xFFFFFFFF: refused, not wrapped round to a small sum.
  EXPECT_EQ(failureOf("Type: a\nPattern: AB\nPattern Offset: -1\n"), "Patterns(58)");
  EXPECT_EQ(failureOf("Type: a\nPattern: A\nPattern Offset: 511\n"), "");
  EXPECT_EQ(failureOf("Type: a\nPattern: AB\nPattern Offset: 511\n"), "Patterns(58)");
}

// --- Pattern directly -------------------------------------------------------

TEST(PatternSet, WrappingOffsetsAreRefused) {
  Pattern p;
  uint8_t bytes[4] = {1, 2, 3, 4};
  EXPECT_THROW(p.setPattern(UINT32_MAX - 1, bytes, 4), std::runtime_error);
  EXPECT_THROW(p.setPattern(510, bytes, 4), std::runtime_error);
  EXPECT_EQ(p.length(), 0u);  // unchanged after a refusal
  p.setPattern(508, bytes, 4);
  EXPECT_EQ(p.offset(), 508u);
  EXPECT_EQ(p.length(), 4u);
}

TEST(PatternMatch, BytesAtTheOffsetThenTheScanModule) {
  Pattern p;
  const uint8_t sig[2] = {'M', 'Z'};
  p.setPattern(100, sig, 2);
  uint8_t sector[512] = {};
  EXPECT_FALSE(p.matches(sector, 512));
  sector[100] = 'M';
  sector[101] = 'Z';
  EXPECT_TRUE(p.matches(sector, 512));

  ScriptedModule module;
  module.scanResult = false;
  p.setScanModule(&module);
  EXPECT_FALSE(p.matches(sector, 512));
  EXPECT_EQ(module.scans, 1);
  sector[101] = 'X';
  EXPECT_FALSE(p.matches(sector, 512));
  EXPECT_EQ(module.scans, 1);  // no scan when the bytes differ
}

TEST(PatternMatch, ScanModuleAloneDecides) {
  Pattern p;
  ScriptedModule module;
  p.setScanModule(&module);
  uint8_t sector[512] = {};
  EXPECT_TRUE(p.matches(sector, 512));
  module.scanResult = false;
  EXPECT_FALSE(p.matches(sector, 512));
}

TEST(PatternMatch, ShortSectorNeverReadsPastItsEnd) {
  Pattern p;
  const uint8_t sig[1] = {'Q'};
  p.setPattern(300, sig, 1);
  uint8_t sector[16];
  memset(sector, 'Q', sizeof sector);
  EXPECT_FALSE(p.matches(sector, sizeof sector));
}

// --- registry ---------------------------------------------------------------

TEST(Registry, AddReplacesAndSharesInstances) {
  FileModuleRegistry registry;
  ASSERT_NE(registry.findModule("jpeg"), nullptr);
  EXPECT_EQ(registry.findModule("Jpeg"), nullptr);
  auto shared = std::make_shared<ScriptedModule>();
  std::weak_ptr<ScriptedModule> watch = shared;
  registry.add("one", shared);
  registry.add("two", shared);
  shared.reset();
  EXPECT_EQ(registry.findModule("one"), registry.findModule("two"));
  registry.add("one", std::make_shared<ScriptedModule>());
  EXPECT_NE(registry.findModule("one"), registry.findModule("two"));
  EXPECT_FALSE(watch.expired());
  registry.add("two", std::make_shared<ScriptedModule>());
  EXPECT_TRUE(watch.expired());  // gone with the last name that held it
}

}  // namespace
