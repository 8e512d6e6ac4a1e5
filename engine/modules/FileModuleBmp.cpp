#include "engine/modules/FileModuleBmp.h"

#include "media/Reader.h"
#include "shell/Endian.h"

namespace {
const uint32_t kFileHeaderBytes = 14;
// Sizes of the bitmap headers (core, OS/2, info and its versions 2 to 5).
const uint32_t kHeaderSizes[] = {12, 16, 40, 52, 56, 64, 108, 124};
}  // namespace

bool FileModuleBmp::scan(const uint8_t* sector, uint32_t length) {
  return length >= 8 && sector[0] == 'B' && sector[1] == 'M' && sector[6] == 0 && sector[7] == 0;
}

bool FileModuleBmp::analyze(Reader& reader, File& file) {
  uint8_t header[kFileHeaderBytes + 4];
  if (!reader.read(0, header, sizeof header)) return false;
  uint32_t size = le32(header + 2);
  uint32_t infoSize = le32(header + kFileHeaderBytes);
  if (size > reader.size() || size < kFileHeaderBytes + kHeaderSizes[0]) return false;
  bool known = false;
  for (uint32_t s : kHeaderSizes) known = known || s == infoSize;
  if (!known) return false;
  file.clear();
  file.attributes.set("t", "bmp");
  file.size = size;
  return true;
}
