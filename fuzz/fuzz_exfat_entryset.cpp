// Fuzzes ExfatEntrySet (set decoding, names from UTF-16, timestamps) and
// ExfatDirectory (the walk over a directory, the allocation bitmap's
// entry).  The set at the start of the input gets a fitting checksum when
// the input asks for one, so that mutations reach the fields behind it.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "exfat/ExfatDirectory.h"
#include "exfat/ExfatEntrySet.h"
#include "shell/Charset.h"
#include "tests/support/MemoryReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  if (size >= kExfatEntryBytes && (bytes[0] & 0x7F) == 0x05) {
    size_t entries = bytes[1] + 1;
    if (entries * kExfatEntryBytes <= size && (bytes[0] & 0x80) == (bytes[2] & 0x80)) {
      uint16_t sum = exfatSetChecksum(bytes.data(), entries, !(bytes[0] & 0x80));
      bytes[2] = uint8_t(sum);
      bytes[3] = uint8_t(sum >> 8);
    }
  }
  ExfatEntrySet set;
  if (decodeExfatEntrySet(bytes.data(), bytes.size(), set)) {
    if (set.name.empty() || !isValidUtf8(set.name.data(), set.name.size()) || set.entries < 3 ||
        set.entries * kExfatEntryBytes > bytes.size() || set.validDataLength > set.dataLength)
      __builtin_trap();
  }
  startsWithExfatFileSet(bytes.data(), bytes.size());

  MemoryReader directory(bytes.data(), bytes.size());
  uint64_t visited = 0;
  ExfatDirectoryWalk walk = walkExfatDirectory(directory, 0, bytes.size(), [&](const ExfatEntrySet& s) {
    if (s.name.empty()) __builtin_trap();
    ++visited;
  });
  // Each set takes at least three entries.
  if (walk.sets != visited || visited * 3 * kExfatEntryBytes > bytes.size()) __builtin_trap();
  uint64_t first = 0, length = 0;
  findExfatAllocationBitmap(directory, bytes.empty() ? 0 : bytes[0] & 1, first, length);
  return 0;
}
