#include "engine/modules/IsoBoxes.h"

#include <algorithm>

#include "media/ByteCursor.h"
#include "shell/Endian.h"

bool readIsoBox(ByteCursor& cursor, uint64_t offset, uint64_t limit, IsoBox& box) {
  uint8_t head[8];
  if (offset > limit || limit - offset < sizeof head || !cursor.read(offset, head, sizeof head)) return false;
  box.offset = offset;
  box.headBytes = 8;
  memcpy(box.type, head + 4, 4);
  uint64_t size = be32(head);
  if (size == 1) {
    box.headBytes = 16;
    if (limit - offset < 16 || !cursor.be64(offset + 8, size)) return false;
  } else if (size == 0) {
    size = limit - offset;
  }
  if (size < box.headBytes || size > limit - offset) return false;
  box.size = size;
  return true;
}

bool forEachIsoBox(ByteCursor& cursor, uint64_t begin, uint64_t end, const std::function<bool(const IsoBox&)>& visit) {
  uint64_t position = begin;
  for (uint32_t count = 0; position < end; ++count) {
    IsoBox box;
    if (count >= kMaxChildBoxes || !readIsoBox(cursor, position, end, box)) return false;
    if (!visit(box)) return true;
    position = box.end();
  }
  return true;
}

bool findIsoBox(ByteCursor& cursor, const IsoBox& parent, uint64_t skip, const char* name, IsoBox& found) {
  if (parent.bodyBytes() < skip) return false;
  bool seen = false;
  forEachIsoBox(cursor, parent.body() + skip, parent.end(), [&](const IsoBox& box) {
    if (!box.is(name)) return true;
    found = box;
    seen = true;
    return false;
  });
  return seen;
}

uint64_t metaChildrenSkip(ByteCursor& cursor, const IsoBox& meta) {
  // QuickTime's "meta" starts with its "hdlr" box at once; the ISO one with
  // version and flags first.
  uint8_t type[4];
  if (meta.bodyBytes() >= 8 && cursor.read(meta.body() + 4, type, 4) && memcmp(type, "hdlr", 4) == 0) return 0;
  return 4;
}

namespace {
bool inList(const char* brand, const char* const* names, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (memcmp(brand, names[i], 4) == 0) return true;
  return false;
}
const size_t kFtypHead = 16;  // size, "ftyp", major brand, minor version
const size_t kMaxFtypBytes = kFtypHead + 4 * 32;
}  // namespace

bool FileBrands::any(const char* const* names, size_t count) const {
  if (majorIn(names, count)) return true;
  for (uint32_t i = 0; i < compatibleCount; ++i)
    if (inList(compatible[i], names, count)) return true;
  return false;
}

bool FileBrands::majorIn(const char* const* names, size_t count) const { return inList(major, names, count); }

bool fileBrands(const uint8_t* bytes, size_t length, FileBrands& brands) {
  if (length < kFtypHead || memcmp(bytes + 4, "ftyp", 4) != 0) return false;
  uint32_t size = be32(bytes);
  if (size < kFtypHead) return false;
  memcpy(brands.major, bytes + 8, 4);
  size_t end = std::min<size_t>({size, length, kMaxFtypBytes});
  brands.compatibleCount = 0;
  for (size_t at = kFtypHead; at + 4 <= end; at += 4) memcpy(brands.compatible[brands.compatibleCount++], bytes + at, 4);
  return true;
}

bool fileBrands(ByteCursor& cursor, FileBrands& brands) {
  uint8_t bytes[kMaxFtypBytes];
  size_t length = std::min<uint64_t>(sizeof bytes, cursor.size());
  return cursor.read(0, bytes, length) && fileBrands(bytes, length, brands);
}
