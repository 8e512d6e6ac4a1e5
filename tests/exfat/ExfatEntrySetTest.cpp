// Entry sets: names over several name entries (surrogate pairs included),
// clusters, lengths and state decode from sets laid out as a driver writes
// them, live and deleted; each damage is refused for its reason; timestamps
// follow their 10 ms and UTC-offset fields.

#include "exfat/ExfatEntrySet.h"

#include <gtest/gtest.h>

#include <tuple>

#include "tests/support/ExfatImage.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

const uint8_t* u8(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

void fixChecksum(std::string& set) {
  setLe16(set, 2, exfatSetChecksum(u8(set), set.size() / 32, !(uint8_t(set[0]) & 0x80)));
}

// One more secondary entry of the given type at the end of the set.
void addEntry(std::string& set, uint8_t type) {
  set[1] = char(set[1] + 1);
  set += std::string(1, char(type)) + std::string(31, '\0');
  fixChecksum(set);
}

}  // namespace

TEST(ExfatEntrySet, DecodesNamesClustersLengthsAndState) {
  const struct {
    ExfatSetSpec spec;
    std::string name;
    uint32_t entries;
  } cases[] = {
      {{u"IMG_0001.JPG", 2465793, true}, "IMG_0001.JPG", 3},
      {{u"Ünïcödé 😀 name longer than fifteen.txt", 100, false}, u8"Ünïcödé 😀 name longer than fifteen.txt", 5},
      {{u"DCIM", 32768, true, true}, "DCIM", 3},
  };
  for (const auto& c : cases) {
    for (bool deleted : {false, true}) {
      std::string set = exfatEntrySet(c.spec, 77, deleted) + std::string(32, '\x85');
      ExfatEntrySet out;
      ASSERT_TRUE(decodeExfatEntrySet(u8(set), set.size(), out)) << c.name << deleted;
      EXPECT_EQ(std::make_tuple(c.name, deleted, c.spec.directory, c.spec.contiguous, uint64_t(77), c.spec.length, c.entries),
                std::make_tuple(out.name, out.deleted, out.directory, out.contiguous, out.firstCluster, out.dataLength,
                                out.entries));
      EXPECT_EQ(out.dataLength, out.validDataLength);
      EXPECT_TRUE(startsWithExfatFileSet(u8(set), 96)) << c.name << deleted;
    }
  }
}

TEST(ExfatEntrySet, EachDamageIsRefusedForItsReason) {
  ExfatSetSpec spec{u"photo.jpg", 5000, false};
  const std::string good = exfatEntrySet(spec, 9);
  const struct {
    const char* what;
    void (*damage)(std::string&);
    ExfatSetFault fault;
  } cases[] = {
      {"a name byte changed", [](std::string& s) { s[70] = 'X'; }, ExfatSetFault::kChecksum},
      {"no file entry", [](std::string& s) { s[0] = char(0x83); }, ExfatSetFault::kNotAFile},
      {"one secondary", [](std::string& s) { s[1] = 1; }, ExfatSetFault::kSecondaryCount},
      {"a name entry deleted alone", [](std::string& s) { s[64] = 0x41; }, ExfatSetFault::kMixedUse},
      {"cut short", [](std::string& s) { s.resize(64); }, ExfatSetFault::kTooShort},
      {"no stream", [](std::string& s) { s[32] = char(0xC1); fixChecksum(s); }, ExfatSetFault::kStream},
      {"empty name", [](std::string& s) { s[35] = 0; fixChecksum(s); }, ExfatSetFault::kNameLength},
      {"name longer than its entries", [](std::string& s) { s[35] = 40; fixChecksum(s); }, ExfatSetFault::kNameLength},
      {"name entry missing", [](std::string& s) { s[35] = 16; addEntry(s, 0xE0); }, ExfatSetFault::kNameEntry},
      {"unknown critical secondary", [](std::string& s) { addEntry(s, 0xC2); }, ExfatSetFault::kCritical},
      {"vendor extension, passed over", [](std::string& s) { addEntry(s, 0xE0); }, ExfatSetFault::kNone},
      {"valid length past the end", [](std::string& s) { s[41] = 0x40; fixChecksum(s); }, ExfatSetFault::kLength},
      {"data without a cluster", [](std::string& s) { setLe32(s, 52, 0); fixChecksum(s); }, ExfatSetFault::kLength},
  };
  for (const auto& c : cases) {
    std::string set = good;
    c.damage(set);
    ExfatEntrySet out;
    ExfatSetFault fault = ExfatSetFault::kNone;
    EXPECT_EQ(c.fault == ExfatSetFault::kNone, decodeExfatEntrySet(u8(set), set.size(), out, &fault)) << c.what;
    EXPECT_EQ(c.fault, fault) << c.what << ": " << exfatSetFaultName(fault);
  }
}

TEST(ExfatTimestamp, FollowsTenMillisecondsAndTheUtcOffset) {
  const uint32_t july = (44u << 25) | (7u << 21) | (1u << 16) | (9u << 11);  // 2024-07-01 09:00:00
  const int64_t julyUtc = 1719824400;
  const struct {
    uint32_t stamp;
    uint8_t tenMs, offset;
    bool valid;
    int64_t seconds;
  } cases[] = {
      {july, 0, 0x80, true, julyUtc},
      {july, 150, 0x80, true, julyUtc + 1},
      {july, 0, 0x80 | 8, true, julyUtc - 2 * 3600},            // UTC+2
      {july, 0, 0x80 | (128 - 20), true, julyUtc + 5 * 3600},   // UTC-5
      {(1u << 21) | (1u << 16), 0, 0x80, true, 315532800},      // 1980-01-01
      {(44u << 25) | (2u << 21) | (29u << 16) | (23u << 11) | (59u << 5) | 29, 0, 0x80, true, 1709251198},
      {(43u << 25) | (2u << 21) | (29u << 16), 0, 0x80, false, 0},  // 2023-02-29
      {(44u << 25) | (13u << 21) | (1u << 16), 0, 0x80, false, 0},
      {july | 30, 0, 0x80, false, 0},
      {july, 200, 0x80, false, 0},
      {0, 0, 0, false, 0},
  };
  for (const auto& c : cases) {
    int64_t seconds = 0;
    EXPECT_EQ(c.valid, exfatTimestamp(c.stamp, c.tenMs, c.offset, seconds)) << c.stamp;
    EXPECT_EQ(c.valid ? c.seconds : 0, c.valid ? seconds : 0) << c.stamp;
  }
}
