// RIFF files: the forms that name their type, the size from the chunk
// header with a JUNK chunk after it, and the local test of the FAT scan.

#include "engine/modules/FileModuleRiff.h"

#include <gtest/gtest.h>

#include "engine/modules/FileModuleRiffLocal.h"
#include "tests/support/MemoryReader.h"

namespace {

std::string riff(const char* form, uint32_t size) {
  std::string s = "RIFF" + std::string(4, '\0') + form;
  for (int i = 0; i < 4; ++i) s[4 + i] = char(size >> (8 * i));
  return s;
}

}  // namespace

TEST(Riff, FormsSizesAndTheJunkAfterTheChunk) {
  const struct {
    std::string bytes;
    const char* type;
    uint64_t size;
  } cases[] = {
      {riff("AVI ", 16) + "LIST" + std::string(8, 'x') + "JUNK" + std::string("\x04\0\0\0", 4) + "pad!" + "tail", "avi", 36},
      {riff("WAVE", 4) + "JUNK" + std::string("\x40\0\0\0", 4), "wav", 12},  // a JUNK chunk past the end is not taken
      {riff("RMID", 4) + "more", "rmi", 12},
      {riff("ACON", 4), "ani", 12},
      {riff("XYZW", 4), "riff", 12},
      {riff("WAVE", 0xFFFFFFF0), "", 0},  // more than the reader holds
  };
  for (const auto& c : cases) {
    MemoryReader reader(c.bytes.data(), c.bytes.size());
    FileModule::File file;
    bool found = FileModuleRiff().analyze(reader, file);
    EXPECT_EQ(c.size != 0, found) << c.type;
    if (!found) continue;
    EXPECT_EQ(c.size, file.size);
    EXPECT_EQ(c.type, file.attributes.getString("t"));
  }
  std::string avi = riff("AVI ", 16), rmid = riff("RMID", 16);
  EXPECT_TRUE(FileModuleRiffLocal().scan(reinterpret_cast<const uint8_t*>(avi.data()), 12));
  EXPECT_FALSE(FileModuleRiffLocal().scan(reinterpret_cast<const uint8_t*>(rmid.data()), 12));
  EXPECT_TRUE(FileModuleRiff().scan(reinterpret_cast<const uint8_t*>(rmid.data()), 12));
}
