#include "engine/modules/FileModuleWmf.h"

#include <cstring>

#include "media/Reader.h"
#include "shell/Endian.h"

namespace {
const uint8_t kKey[6] = {0xD7, 0xCD, 0xC6, 0x9A, 0x00, 0x00};
const uint64_t kPlaceableBytes = 22;
const uint16_t kHeaderWords = 9;
}  // namespace

bool FileModuleWmf::scan(const uint8_t* sector, uint32_t length) {
  return length >= sizeof kKey && memcmp(sector, kKey, sizeof kKey) == 0;
}

bool FileModuleWmf::analyze(Reader& reader, File& file) {
  uint8_t header[10];
  if (!reader.read(kPlaceableBytes, header, sizeof header)) return false;
  uint16_t type = le16(header);
  uint32_t words = le32(header + 6);
  if ((type != 1 && type != 2) || le16(header + 2) != kHeaderWords || words < kHeaderWords) return false;
  uint64_t size = kPlaceableBytes + 2 * uint64_t(words);
  if (size > reader.size()) return false;
  file.clear();
  file.attributes.set("t", "wmf");
  file.size = size;
  return true;
}
