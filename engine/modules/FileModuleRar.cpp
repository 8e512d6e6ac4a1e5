// RAR archives: the block walk of both formats.

#include "engine/modules/FileModuleRar.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

const uint8_t kSignature4[7] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
const uint8_t kSignature5[8] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};

// --- RAR 1.5 to 4 ----------------------------------------------------------
// Every block starts with CRC (2), type (1), flags (2), size (2); blocks
// with flag 0x8000 carry added data whose length follows (4).  Positions
// below are held 2 bytes into each block, past its CRC.
const uint8_t kTypeArchive = 0x73;
const uint8_t kTypeFile = 0x74;
const uint8_t kTypeSubBlock = 0x7A;
const uint8_t kTypeEnd = 0x7B;
const uint16_t kFlagAddedData = 0x8000;
const uint16_t kFlagLargeFile = 0x0100;  // file blocks: high 32 bits of the data length
const uint16_t kMinArchiveBlock = 13;
const uint16_t kMinFileBlock = 33;
const uint16_t kMinFileBlockLarge = 41;
const uint16_t kMinSubBlock = 11;
const uint16_t kMinEndBlock = 7;
const uint64_t kCrcBytes = 2;

bool walk4(ByteCursor& cursor, uint64_t& end) {
  uint64_t position = sizeof kSignature4 + kCrcBytes;
  uint8_t block[5];
  if (!cursor.read(position, block, sizeof block)) return false;
  uint16_t size = le16(block + 3);
  if (block[0] != kTypeArchive || size < kMinArchiveBlock) return false;
  if (!Reader::fits(position - kCrcBytes, size, cursor.size())) return false;
  position += size;

  for (uint32_t steps = 0; steps < FileModuleRar::kMaxBlocks; ++steps) {
    if (!cursor.read(position, block, sizeof block)) break;
    uint8_t type = block[0];
    uint16_t flags = le16(block + 1);
    size = le16(block + 3);
    uint64_t start = position - kCrcBytes;
    if (!(flags & kFlagAddedData)) {
      // The end-of-archive block is 7 bytes, more when it carries the
      // archive's CRC or a volume number.
      if (type == kTypeEnd && size >= kMinEndBlock && Reader::fits(start, size, cursor.size())) position += size;
      break;
    }
    bool known = (type == kTypeFile && size >= kMinFileBlock) || (type == kTypeSubBlock && size >= kMinSubBlock);
    if (!known) break;
    uint32_t added = 0;
    if (!cursor.le32(position + 5, added)) break;
    uint64_t data = added;
    if (type == kTypeFile && (flags & kFlagLargeFile) && size >= kMinFileBlockLarge) {
      uint32_t high = 0;
      if (!cursor.le32(position + 30, high)) break;
      data |= uint64_t(high) << 32;
    }
    // A block that the reader cannot hold whole is not part of the file.
    if (!Reader::fits(start, size, cursor.size()) || !Reader::fits(start + size, data, cursor.size())) break;
    position += size + data;
  }
  end = position - kCrcBytes;
  return true;
}

// --- RAR 5 -------------------------------------------------------------------
// Every block: CRC32 (4), header size (vint), header of that size holding
// type, flags, [extra size], [data size] (vints) and more, then the data.
const uint64_t kTypeMain5 = 1;
const uint64_t kTypeFile5 = 2;
const uint64_t kTypeService5 = 3;
const uint64_t kTypeEnd5 = 5;
const uint64_t kFlagExtra5 = 0x0001;
const uint64_t kFlagData5 = 0x0002;
// Header sizes are at most 3 vint bytes, 2 MB.
const uint64_t kMaxHeader5 = 2 * 1024 * 1024;
const size_t kMaxHeaderSizeBytes = 3;

// A vint: 7 bits per byte, low group first, high bit = more follow.
bool vint(const uint8_t* bytes, size_t length, size_t& at, uint64_t& value, size_t maxBytes = 10) {
  value = 0;
  for (size_t i = 0; i < maxBytes && at < length; ++i) {
    uint8_t b = bytes[at++];
    value |= uint64_t(b & 0x7F) << (7 * i);
    if (!(b & 0x80)) return true;
  }
  return false;
}

uint32_t crc32(const uint8_t* bytes, size_t length) {
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    ready = true;
  }
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

// One block at `position`: its type and where the next one starts; false
// when it is not a whole block with a good header CRC inside the reader.
bool block5(ByteCursor& cursor, uint64_t position, uint64_t& type, uint64_t& next) {
  uint8_t head[4 + kMaxHeaderSizeBytes];
  size_t have = static_cast<size_t>(std::min<uint64_t>(sizeof head, cursor.size() - std::min(cursor.size(), position)));
  if (have < 5 || !cursor.read(position, head, have)) return false;
  size_t at = 4;
  uint64_t headerSize = 0;
  if (!vint(head, have, at, headerSize, kMaxHeaderSizeBytes)) return false;
  if (headerSize == 0 || headerSize > kMaxHeader5) return false;
  uint64_t sizeField = at - 4;
  if (!Reader::fits(position + 4, sizeField + headerSize, cursor.size())) return false;
  std::vector<uint8_t> header(static_cast<size_t>(sizeField + headerSize));
  if (!cursor.read(position + 4, header.data(), header.size())) return false;
  if (crc32(header.data(), header.size()) != le32(head)) return false;

  size_t field = static_cast<size_t>(sizeField);
  uint64_t flags = 0, extra = 0, data = 0;
  if (!vint(header.data(), header.size(), field, type) || !vint(header.data(), header.size(), field, flags))
    return false;
  if ((flags & kFlagExtra5) && !vint(header.data(), header.size(), field, extra)) return false;
  if ((flags & kFlagData5) && !vint(header.data(), header.size(), field, data)) return false;
  uint64_t dataStart = position + 4 + header.size();
  if (!Reader::fits(dataStart, data, cursor.size())) return false;
  next = dataStart + data;
  return true;
}

bool walk5(ByteCursor& cursor, uint64_t& end) {
  uint64_t position = sizeof kSignature5;
  uint64_t type = 0, next = 0;
  if (!block5(cursor, position, type, next) || type != kTypeMain5) return false;
  position = next;
  for (uint32_t steps = 0; steps < FileModuleRar::kMaxBlocks; ++steps) {
    if (!block5(cursor, position, type, next)) break;
    if (type == kTypeEnd5) {
      position = next;
      break;
    }
    if (type != kTypeFile5 && type != kTypeService5) break;
    position = next;
  }
  end = position;
  return true;
}

}  // namespace

bool FileModuleRar::scan(const uint8_t* sector, uint32_t length) {
  return (length >= sizeof kSignature4 && memcmp(sector, kSignature4, sizeof kSignature4) == 0) ||
         (length >= sizeof kSignature5 && memcmp(sector, kSignature5, sizeof kSignature5) == 0);
}

bool FileModuleRar::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  uint8_t signature[8];
  if (!cursor.read(0, signature, sizeof signature)) return false;
  uint64_t end = 0;
  bool walked = false;
  if (memcmp(signature, kSignature4, sizeof kSignature4) == 0)
    walked = walk4(cursor, end);
  else if (memcmp(signature, kSignature5, sizeof kSignature5) == 0)
    walked = walk5(cursor, end);
  if (!walked || end > cursor.size()) return false;
  file.clear();
  file.attributes.set("t", "rar");
  file.size = end;
  return true;
}
