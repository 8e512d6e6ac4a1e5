#include "engine/modules/ByteSearch.h"

#include <algorithm>
#include <cstring>

#include "media/ByteCursor.h"

uint64_t findBytes(ByteCursor& cursor, uint64_t from, uint64_t limit, const void* needle, size_t length,
                   bool* unreadable) {
  const size_t kMaxNeedle = 64;
  limit = std::min(limit, cursor.size());
  if (length == 0 || length > kMaxNeedle || from > limit || limit - from < length) return UINT64_MAX;
  // A needle may straddle two spans: each span is searched with the tail
  // of the one before in front of it.
  uint8_t joint[2 * kMaxNeedle];
  for (uint64_t position = from; position < limit;) {
    size_t available = 0;
    const uint8_t* span = cursor.span(position, available);
    if (!span) {
      if (unreadable) *unreadable = true;
      return UINT64_MAX;
    }
    available = size_t(std::min<uint64_t>(available, limit - position));
    if (const void* hit = memmem(span, available, needle, length))
      return position + uint64_t(static_cast<const uint8_t*>(hit) - span);
    uint64_t next = position + available;
    if (next >= limit) break;
    size_t tail = std::min(available, length - 1);
    size_t head = size_t(std::min<uint64_t>(length - 1, limit - next));
    memcpy(joint, span + available - tail, tail);
    if (!cursor.read(next, joint + tail, head)) {
      if (unreadable) *unreadable = true;
      return UINT64_MAX;
    }
    if (const void* hit = memmem(joint, tail + head, needle, length))
      return next - tail + uint64_t(static_cast<const uint8_t*>(hit) - joint);
    position = next;
  }
  return UINT64_MAX;
}
