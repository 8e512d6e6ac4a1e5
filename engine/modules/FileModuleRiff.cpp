#include "engine/modules/FileModuleRiff.h"

#include <cstring>

#include "media/Reader.h"
#include "shell/Endian.h"

namespace {
const uint64_t kChunkSizeAt = 4;
const uint64_t kHeaderBytes = 8;  // chunk id and chunk size

const char* typeOfForm(const uint8_t* form) {
  if (memcmp(form, "RMID", 4) == 0) return "rmi";
  if (memcmp(form, "AVI ", 4) == 0) return "avi";
  if (memcmp(form, "WAVE", 4) == 0) return "wav";
  if (memcmp(form, "ACON", 4) == 0) return "ani";
  return "riff";
}
}  // namespace

bool FileModuleRiff::scan(const uint8_t* sector, uint32_t length) {
  return length >= 4 && memcmp(sector, "RIFF", 4) == 0;
}

bool FileModuleRiff::analyze(Reader& reader, File& file) {
  uint8_t header[8];
  if (!reader.read(kChunkSizeAt, header, sizeof header)) return false;
  uint64_t size = uint64_t(le32(header)) + kHeaderBytes;
  if (size > reader.size()) return false;
  const char* type = typeOfForm(header + 4);

  uint8_t junk[8];
  if (Reader::fits(size, sizeof junk, reader.size()) && reader.read(size, junk, sizeof junk) &&
      memcmp(junk, "JUNK", 4) == 0) {
    uint64_t grown = size + kHeaderBytes + le32(junk + 4);
    if (grown < reader.size()) size = grown;
  }
  file.clear();
  file.attributes.set("t", type);
  file.size = size;
  return true;
}
