// The "Key: value" parser, both readers, their failure trails and the
// number lookups of ConfigRecord.

#include "shell/Config.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "shell/DebugLog.h"

namespace {

ConfigRecord parsed(const std::string& text, bool* ok = nullptr) {
  ConfigRecord record;
  bool result = parseConfigText(record, text.data(), text.size(), '#');
  if (ok) *ok = result;
  return record;
}

class TempFolder {
 public:
  TempFolder() {
    gchar* p = g_dir_make_tmp("mzk-config-XXXXXX", nullptr);
    path_ = p;
    g_free(p);
  }
  ~TempFolder() {
    for (auto& f : files_) g_remove(f.c_str());
    g_rmdir(path_.c_str());
  }
  std::string write(const std::string& name, const std::string& text) {
    std::string file = path_ + "/" + name;
    std::ofstream(file, std::ios::binary) << text;
    files_.push_back(file);
    return file;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::vector<std::string> files_;
};

}  // namespace

// --- line forms -----------------------------------------------------------

TEST(ConfigLineForms, BlanksAroundKeyAndValueAndTrailingCommentAreDropped) {
  for (const char* line : {"Key:value", "Key : value  # note", "Key:\tvalue\t", "  Key:value\n"}) {
    bool ok = false;
    ConfigRecord r = parsed(line, &ok);
    EXPECT_TRUE(ok) << line;
    ASSERT_EQ(1u, r.values().size()) << line;
    EXPECT_EQ("value", r.getString("Key")) << line;
  }
}

TEST(ConfigLineForms, ValueMayHoldColonsAndKeyInnerSpaces) {
  ConfigRecord r = parsed("Time: 12:30\nProgram Path: /opt/mzk\n");
  EXPECT_EQ("12:30", r.getString("Time"));
  EXPECT_EQ("/opt/mzk", r.getString("Program Path"));
}

TEST(ConfigLineForms, EmptyValueIsPresentAndEmptyKeyIsStored) {
  ConfigRecord r = parsed("Empty:\n: nameless\n");
  std::string v = "x";
  EXPECT_TRUE(r.get("Empty", v));
  EXPECT_EQ("", v);
  EXPECT_EQ("", r.getString("Empty", "default"));
  EXPECT_EQ(42, r.getInt("Empty", 42));
  EXPECT_EQ("nameless", r.getString(""));
}

TEST(ConfigLineForms, CommentsEndValuesAndMayFollowBlanks) {
  ConfigRecord r = parsed("   # a comment: with a colon\nA: one # two: three\n\t#B: hidden\nC:#\n");
  EXPECT_EQ("one", r.getString("A"));
  EXPECT_FALSE(r.has("B"));
  EXPECT_TRUE(r.has("C"));
  EXPECT_EQ("", r.getString("C", "x"));
  EXPECT_EQ(2u, r.values().size());
}

TEST(ConfigLineForms, EveryLineEndStyleAndAMissingFinalLineEnd) {
  ConfigRecord r = parsed("A: 1\rB: 2\r\nC: 3\nD: 4");
  EXPECT_EQ("1", r.getString("A"));
  EXPECT_EQ("2", r.getString("B"));
  EXPECT_EQ("3", r.getString("C"));
  EXPECT_EQ("4", r.getString("D"));
}

TEST(ConfigLineForms, AnotherCommentCharacter) {
  ConfigRecord record;
  std::string text = "A: x # y\n; B: z\nC: w ; v\n";
  ASSERT_TRUE(parseConfigText(record, text.data(), text.size(), ';'));
  EXPECT_EQ("x # y", record.getString("A"));
  EXPECT_FALSE(record.has("B"));
  EXPECT_EQ("w", record.getString("C"));
}

TEST(ConfigLineForms, EmptyAndBlankTextsParse) {
  EXPECT_TRUE(parsed("").values().empty());
  bool ok = false;
  EXPECT_TRUE(parsed(" \r\n\t\n# only comment", &ok).values().empty());
  EXPECT_TRUE(ok);
}

// --- failure trails -------------------------------------------------------

TEST(ConfigFailures, DuplicateKeyKeepsFirstValueAndStopsThere) {
  DebugLogCapture log;
  bool ok = true;
  ConfigRecord r = parsed("A: 1\nB: 2\nA: 3\nC: 4\n", &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ("1", r.getString("A"));
  EXPECT_EQ("2", r.getString("B"));
  EXPECT_FALSE(r.has("C"));
  EXPECT_EQ("Config(90): A 3\nConfig(158): A 3\nConfig(172)\n", log.text());
}

TEST(ConfigFailures, LineWithoutColonLogsTheRestOfTheText) {
  DebugLogCapture log;
  bool ok = true;
  ConfigRecord r = parsed("A: 1\nno colon here\nB: 2", &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ("1", r.getString("A"));
  EXPECT_FALSE(r.has("B"));
  EXPECT_EQ("Config(149): no colon here\nB: 2\nConfig(172)\n", log.text());
}

TEST(ConfigFailures, ColonAfterTheCommentCharacterDoesNotCount) {
  DebugLogCapture log;
  bool ok = true;
  parsed("Key # note: x\n", &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(0u, log.text().find("Config(149): Key # note: x\n"));
}

TEST(ConfigFailures, FileTrails) {
  TempFolder dir;
  {
    DebugLogCapture log;
    ConfigRecord r;
    std::string missing = dir.path() + "/absent.cfg";
    EXPECT_FALSE(readConfigFile(r, missing, '#'));
    EXPECT_EQ("Config(193): " + missing + "\n", log.text());
  }
  {
    DebugLogCapture log;
    ConfigRecord r;
    EXPECT_TRUE(readConfigFile(r, dir.write("good.cfg", "A: 1\r\nB:  two words  \r\n"), '#'));
    EXPECT_EQ("two words", r.getString("B"));
    EXPECT_EQ("", log.text());
  }
  {
    DebugLogCapture log;
    ConfigRecord r;
    EXPECT_FALSE(readConfigFile(r, dir.write("dup.cfg", "K: a\nK: b\n"), '#'));
    EXPECT_EQ("a", r.getString("K"));
    EXPECT_EQ("Config(90): K b\nConfig(158): K b\nConfig(172)\nConfig(197)\n", log.text());
  }
  {
    DebugLogCapture log;
    ConfigRecord r;
    EXPECT_FALSE(readConfigFile(r, dir.write("nocolon.cfg", "A: 1\nbroken\n"), '#'));
    EXPECT_EQ("Config(149): broken\n\nConfig(172)\nConfig(197)\n", log.text());
  }
}

// --- list files -----------------------------------------------------------

TEST(ConfigList, RecordKeyLinesSplitRecords) {
  ConfigRecordList list;
  std::string text = "Type: a\nPattern: x\nType: b\n";
  ASSERT_TRUE(parseConfigList(list, "Type", text.data(), text.size(), '#'));
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ("a", list[0].getString("Type"));
  EXPECT_EQ("x", list[0].getString("Pattern"));
  EXPECT_EQ("b", list[1].getString("Type"));
  EXPECT_FALSE(list[1].has("Pattern"));
}

TEST(ConfigList, LinesBeforeTheFirstRecordKeyJoinTheFirstRecord) {
  ConfigRecordList list;
  std::string text = "Offset: 4\nType: a\nPattern: x\nType: b\nOffset: 8\n";
  ASSERT_TRUE(parseConfigList(list, "Type", text.data(), text.size(), '#'));
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ("4", list[0].getString("Offset"));
  EXPECT_EQ("a", list[0].getString("Type"));
  EXPECT_EQ("8", list[1].getString("Offset"));
}

TEST(ConfigList, DuplicateInFirstRecordFailsAndKeepsTheOpenRecord) {
  DebugLogCapture log;
  ConfigRecordList list;
  std::string text = "Pattern: y\nType: a\nPattern: x\nType: b\n";
  EXPECT_FALSE(parseConfigList(list, "Type", text.data(), text.size(), '#'));
  ASSERT_EQ(1u, list.size());
  EXPECT_EQ("y", list[0].getString("Pattern"));
  EXPECT_EQ("a", list[0].getString("Type"));
  EXPECT_EQ("Config(127): Pattern x\nConfig(158): Pattern x\nConfig(183)\n", log.text());
}

TEST(ConfigList, FailureInALaterRecordKeepsClosedAndOpenRecords) {
  ConfigRecordList list;
  std::string text = "Type: a\nType: b\nP: 1\nP: 2\nType: c\n";
  EXPECT_FALSE(parseConfigList(list, "Type", text.data(), text.size(), '#'));
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ("a", list[0].getString("Type"));
  EXPECT_EQ("b", list[1].getString("Type"));
  EXPECT_EQ("1", list[1].getString("P"));
}

TEST(ConfigList, NoRecordKeyMeansNoRecords) {
  ConfigRecordList list;
  std::string text = "Pattern: x\nOffset: 0\n";
  EXPECT_TRUE(parseConfigList(list, "Type", text.data(), text.size(), '#'));
  EXPECT_TRUE(list.empty());
}

TEST(ConfigList, AppendsToAnExistingList) {
  ConfigRecordList list(1);
  std::string text = "Type: a\n";
  ASSERT_TRUE(parseConfigList(list, "Type", text.data(), text.size(), '#'));
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ("a", list[1].getString("Type"));
}

TEST(ConfigList, FileTrails) {
  TempFolder dir;
  {
    DebugLogCapture log;
    ConfigRecordList list;
    std::string missing = dir.path() + "/Scanner.cfg";
    EXPECT_FALSE(readConfigList(list, missing, "Type", '#'));
    EXPECT_EQ("Config(208): " + missing + "\n", log.text());
  }
  {
    DebugLogCapture log;
    ConfigRecordList list;
    EXPECT_FALSE(readConfigList(list, dir.write("bad.cfg", "Type: a\nX: 1\nX: 2\n"), "Type", '#'));
    EXPECT_EQ("Config(127): X 2\nConfig(158): X 2\nConfig(183)\nConfig(212)\n", log.text());
    ASSERT_EQ(1u, list.size());
  }
  {
    ConfigRecordList list;
    EXPECT_TRUE(readConfigList(list, dir.write("ok.cfg", "Type: a\r\nType: b"), "Type", '#'));
    EXPECT_EQ(2u, list.size());
  }
}

// --- the record and its numbers ---------------------------------------------

TEST(ConfigRecordValues, SetKeepsOrReplaces) {
  ConfigRecord r;
  EXPECT_TRUE(r.set("A", "1"));
  EXPECT_FALSE(r.set("A", "2", true));
  EXPECT_EQ("1", r.getString("A"));
  EXPECT_TRUE(r.set("A", std::string("3")));
  EXPECT_EQ("3", r.getString("A"));
  EXPECT_TRUE(r.set("N", int32_t(-17)));
  EXPECT_EQ("-17", r.getString("N"));
  EXPECT_TRUE(r.set("L", int64_t(-9000000000LL)));
  EXPECT_EQ("-9000000000", r.getString("L"));
  ConfigRecord copy = r;
  r.erase("A");
  EXPECT_FALSE(r.has("A"));
  EXPECT_TRUE(copy.has("A"));
  EXPECT_EQ("fallback", r.getString("A", "fallback"));
  std::string out = "unchanged";
  EXPECT_FALSE(r.get("A", out));
  EXPECT_EQ("unchanged", out);
}

TEST(ConfigRecordValues, NumbersReadLikeDecimalStreamExtraction) {
  ConfigRecord r = parsed("a: 12abc\nb:\t 7\nc: abc\nd: 0x10\ne: -5\nf: +4\ng: 3000000000\n"
                          "h: -2147483648\ni: 2147483648\nj: 99999999999999999999\n"
                          "k: -9223372036854775808\nl: - 3\n");
  EXPECT_EQ(12, r.getInt("a", -1));
  EXPECT_EQ(7, r.getInt("b", -1));
  EXPECT_EQ(-1, r.getInt("c", -1));
  EXPECT_EQ(0, r.getInt("d", -1));
  EXPECT_EQ(-5, r.getInt("e", 0));
  EXPECT_EQ(4, r.getInt("f", 0));
  EXPECT_EQ(-1, r.getInt("g", -1));
  EXPECT_EQ(3000000000u, r.getUnsigned("g", 0));
  EXPECT_EQ(3000000000LL, r.getInt64("g", 0));
  EXPECT_EQ(INT32_MIN, r.getInt("h", 0));
  EXPECT_EQ(-1, r.getInt("i", -1));
  EXPECT_EQ(-1, r.getInt64("j", -1));
  EXPECT_EQ(7u, r.getUnsigned("j", 7));
  EXPECT_EQ(INT64_MIN, r.getInt64("k", 0));
  EXPECT_EQ(-1, r.getInt("l", -1));
  EXPECT_EQ(9, r.getInt("absent", 9));
}
