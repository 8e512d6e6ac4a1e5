// The "Key: value" parser, both readers, their failure trails and the
// number lookups of ConfigRecord.

#include "shell/Config.h"

#include <gtest/gtest.h>

#include <string>

#include "shell/DebugLog.h"
#include "tests/support/TempDir.h"

namespace {

// The record as "key=value;" pairs, then "!" when the parse failed.
std::string parsed(const std::string& text, char comment = '#') {
  ConfigRecord record;
  bool ok = parseConfigText(record, text.data(), text.size(), comment);
  std::string out;
  for (const auto& kv : record.values()) out += kv.first + "=" + kv.second + ";";
  return ok ? out : out + "!";
}

// The records as "key=value;" pairs separated by "|", then "!" on failure.
std::string parsedList(const std::string& text, size_t before = 0) {
  ConfigRecordList list(before);
  bool ok = parseConfigList(list, "Type", text.data(), text.size(), '#');
  std::string out;
  for (const ConfigRecord& record : list) {
    out += "|";
    for (const auto& kv : record.values()) out += kv.first + "=" + kv.second + ";";
  }
  return ok ? out : out + "!";
}

}  // namespace

TEST(Config, LineForms) {
  const std::pair<std::string, std::string> cases[] = {
      {"Key:value", "Key=value;"},
      {"Key : value  # note", "Key=value;"},
      {"Key:\tvalue\t", "Key=value;"},
      {"  Key:value\n", "Key=value;"},
      {"Time: 12:30\nProgram Path: /opt/mzk\n", "Program Path=/opt/mzk;Time=12:30;"},
      {"Empty:\n: nameless\n", "=nameless;Empty=;"},
      {"   # a comment: with a colon\nA: one # two: three\n\t#B: hidden\nC:#\n", "A=one;C=;"},
      {"A: 1\rB: 2\r\nC: 3\nD: 4", "A=1;B=2;C=3;D=4;"},
      {"", ""},
      {" \r\n\t\n# only comment", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, parsed(c.first)) << c.first;
  EXPECT_EQ("A=x # y;C=w;", parsed("A: x # y\n; B: z\nC: w ; v\n", ';'));
}

// A failure is a false result and a trail of log lines, innermost first;
// the trail is the contract, so it is pinned here.
TEST(Config, FailuresKeepWhatCameBeforeAndLeaveATrail) {
  const struct {
    std::string text, parsed, trail;
  } cases[] = {
      {"A: 1\nB: 2\nA: 3\nC: 4\n", "A=1;B=2;!", "Config(90): A 3\nConfig(158): A 3\nConfig(172)\n"},
      {"A: 1\nno colon here\nB: 2", "A=1;!", "Config(149): no colon here\nB: 2\nConfig(172)\n"},
      {"Key # note: x\n", "!", "Config(149): Key # note: x\n\nConfig(172)\n"},
  };
  for (const auto& c : cases) {
    DebugLogCapture log;
    EXPECT_EQ(c.parsed, parsed(c.text)) << c.text;
    EXPECT_EQ(c.trail, log.text()) << c.text;
  }
  const struct {
    std::string text, parsed, trail;
  } lists[] = {
      {"Pattern: y\nType: a\nPattern: x\nType: b\n", "|Pattern=y;Type=a;!",
       "Config(127): Pattern x\nConfig(158): Pattern x\nConfig(183)\n"},
      {"Type: a\nType: b\nP: 1\nP: 2\nType: c\n", "|Type=a;|P=1;Type=b;!",
       "Config(127): P 2\nConfig(158): P 2\nConfig(183)\n"},
  };
  for (const auto& c : lists) {
    DebugLogCapture log;
    EXPECT_EQ(c.parsed, parsedList(c.text)) << c.text;
    EXPECT_EQ(c.trail, log.text()) << c.text;
  }
}

TEST(Config, ListsSplitAtTheRecordKey) {
  const std::pair<std::string, std::string> cases[] = {
      {"Type: a\nPattern: x\nType: b\n", "|Pattern=x;Type=a;|Type=b;"},
      {"Offset: 4\nType: a\nPattern: x\nType: b\nOffset: 8\n", "|Offset=4;Pattern=x;Type=a;|Offset=8;Type=b;"},
      {"Pattern: x\nOffset: 0\n", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, parsedList(c.first)) << c.first;
  EXPECT_EQ("||Type=a;", parsedList("Type: a\n", 1)) << "appended to what is there";
}

TEST(Config, FilesAndTheirTrails) {
  mzktest::TempDir dir;
  dir.write("good.cfg", "A: 1\r\nB:  two words  \r\n");
  dir.write("dup.cfg", "K: a\nK: b\n");
  dir.write("list.cfg", "Type: a\r\nType: b");
  dir.write("badlist.cfg", "Type: a\nX: 1\nX: 2\n");
  const struct {
    const char* name;
    bool ok;
    std::string trail;
  } files[] = {
      {"absent.cfg", false, "Config(193): " + dir.file("absent.cfg") + "\n"},
      {"good.cfg", true, ""},
      {"dup.cfg", false, "Config(90): K b\nConfig(158): K b\nConfig(172)\nConfig(197)\n"},
  };
  for (const auto& f : files) {
    DebugLogCapture log;
    ConfigRecord r;
    EXPECT_EQ(f.ok, readConfigFile(r, dir.file(f.name), '#')) << f.name;
    EXPECT_EQ(f.trail, log.text()) << f.name;
  }
  ConfigRecord good;
  readConfigFile(good, dir.file("good.cfg"), '#');
  EXPECT_EQ("two words", good.getString("B"));
  const struct {
    const char* name;
    size_t records;
    std::string trail;
  } lists[] = {
      {"Scanner.cfg", 0, "Config(208): " + dir.file("Scanner.cfg") + "\n"},
      {"list.cfg", 2, ""},
      {"badlist.cfg", 1, "Config(127): X 2\nConfig(158): X 2\nConfig(183)\nConfig(212)\n"},
  };
  for (const auto& l : lists) {
    DebugLogCapture log;
    ConfigRecordList list;
    EXPECT_EQ(l.trail.empty(), readConfigList(list, dir.file(l.name), "Type", '#')) << l.name;
    EXPECT_EQ(l.records, list.size()) << l.name;
    EXPECT_EQ(l.trail, log.text()) << l.name;
  }
}

TEST(ConfigRecordValues, SetKeepsOrReplacesAndCopiesAreIndependent) {
  ConfigRecord r;
  EXPECT_TRUE(r.set("A", "1"));
  EXPECT_FALSE(r.set("A", "2", true));
  EXPECT_EQ("1", r.getString("A"));
  EXPECT_TRUE(r.set("A", std::string("3")));
  EXPECT_TRUE(r.set("N", int32_t(-17)));
  EXPECT_TRUE(r.set("L", int64_t(-9000000000LL)));
  ConfigRecord copy = r;
  r.erase("A");
  EXPECT_EQ("-17", r.getString("N"));
  EXPECT_EQ("-9000000000", r.getString("L"));
  EXPECT_EQ("3", copy.getString("A"));
  EXPECT_EQ("fallback", r.getString("A", "fallback"));
  std::string out = "unchanged";
  EXPECT_FALSE(r.get("A", out));
  EXPECT_EQ("unchanged", out);
}

TEST(ConfigRecordValues, NumbersReadLikeDecimalStreamExtraction) {
  ConfigRecord r;
  std::string text = "a: 12abc\nb:\t 7\nc: abc\nd: 0x10\ne: -5\nf: +4\ng: 3000000000\nh: -2147483648\n"
                     "i: 2147483648\nj: 99999999999999999999\nk: -9223372036854775808\nl: - 3\nm:\n";
  ASSERT_TRUE(parseConfigText(r, text.data(), text.size(), '#'));
  const struct {
    const char* key;
    int64_t asInt, asInt64;
  } cases[] = {
      {"a", 12, 12}, {"b", 7, 7},   {"c", -1, -1}, {"d", 0, 0}, {"e", -5, -5}, {"f", 4, 4},
      {"g", -1, 3000000000},        {"h", INT32_MIN, INT32_MIN}, {"i", -1, 2147483648}, {"j", -1, -1},
      {"k", -1, INT64_MIN},         {"l", -1, -1}, {"m", -1, -1}, {"absent", -1, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.asInt, r.getInt(c.key, -1)) << c.key;
    EXPECT_EQ(c.asInt64, r.getInt64(c.key, -1)) << c.key;
  }
  const std::pair<const char*, uint32_t> unsignedCases[] = {
      {"a", 12}, {"c", 99}, {"g", 3000000000u}, {"j", 99}, {"m", 99}};
  for (const auto& c : unsignedCases) EXPECT_EQ(c.second, r.getUnsigned(c.first, 99)) << c.first;
}
