// Fuzzes FATDirectory: parseDirectory as root and as subdirectory (long
// names live and deleted, short names through code page 437, the error
// budget and its hex dumps), isDirectoryStart and the entry tests.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fat/FATDirectory.h"
#include "tests/support/MemoryReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryReader reader(data, size);
  for (bool sub : {false, true}) {
    std::vector<FatDirectoryEntry> out;
    parseDirectory(reader, sub, out);
    if (out.size() > size / 32) __builtin_trap();  // one entry per 32 bytes at most
    for (const FatDirectoryEntry& e : out)
      if (e.name.empty() && !e.deleted) __builtin_trap();
  }
  if (size >= 64) {
    uint64_t cluster = 0;
    isDirectoryStart(data, cluster);
    isValidShortName(data);
    shortNameText(data, data[0] == 0xE5);
    shortNameChecksum(data);
  }
  hexDump(data, size < 100 ? size : 100);
  return 0;
}
