#include "engine/modules/TopLevelBoxes.h"

#include <cstring>

#include "media/ByteCursor.h"
#include "shell/Endian.h"

namespace {
const uint64_t kHeadBytes = 8;
const uint64_t kLargeHeadBytes = 16;  // with the 64-bit size
}  // namespace

BoxWalk walkTopLevelBoxes(ByteCursor& cursor, const std::function<bool(const BoxHead&)>& accept) {
  BoxWalk walk;
  uint64_t position = 0;
  while (cursor.size() >= kHeadBytes && position < cursor.size() - kHeadBytes) {
    uint8_t bytes[kHeadBytes];
    if (!cursor.read(position, bytes, sizeof bytes)) break;
    BoxHead head;
    head.offset = position;
    head.size32 = be32(bytes);
    memcpy(head.type, bytes + 4, 4);
    if (!accept(head)) break;
    if (++walk.boxes > kMaxTopLevelBoxes) {
      walk.malformed = true;
      break;
    }
    uint64_t size = head.size32;
    if (size == 0) {
      position += kHeadBytes;
      break;
    }
    if (size == 1 && (!cursor.be64(position + kHeadBytes, size) || size < kLargeHeadBytes)) {
      walk.malformed = true;
      break;
    }
    if (size < kHeadBytes || size > UINT64_MAX - position) {
      walk.malformed = true;
      break;
    }
    position += size;
  }
  walk.end = position;
  return walk;
}
