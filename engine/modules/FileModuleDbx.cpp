// Outlook Express mail folders: the header names the file's size.

#include "engine/modules/FileModuleDbx.h"

#include <cstring>

#include "media/ByteCursor.h"
#include "media/Reader.h"

namespace {

const size_t kClassAt = 8;
const uint8_t kClass[] = {0x66, 0xE3, 0xD1, 0x11, 0x9A, 0x4E, 0x00, 0xC0, 0x4F, 0xA3,
                          0x09, 0xD4, 0x05, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
const uint64_t kFileSizeAt = 0x7C;
// A file that ends before its own size field is no file.
const uint64_t kMinSize = kFileSizeAt + 4;

}  // namespace

bool FileModuleDbx::scan(const uint8_t* sector, uint32_t length) {
  return length >= kClassAt + sizeof kClass && memcmp(sector + kClassAt, kClass, sizeof kClass) == 0;
}

bool FileModuleDbx::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  uint8_t header[kClassAt + sizeof kClass];
  uint32_t size = 0;
  if (!cursor.read(0, header, sizeof header) || !scan(header, sizeof header)) return false;
  if (!cursor.le32(kFileSizeAt, size) || size < kMinSize || size > cursor.size()) return false;
  file.clear();
  file.attributes.set("t", "dbx");
  file.size = size;
  return true;
}
