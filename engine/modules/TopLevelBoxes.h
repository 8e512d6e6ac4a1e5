// The walk over the top-level boxes (atoms) of QuickTime and ISO base media
// files: MOV and MP4, and the other formats built on the same layout.
#pragma once

#include <cstdint>
#include <functional>

class ByteCursor;

struct BoxHead {
  uint64_t offset = 0;  // of the box's size field
  uint32_t size32 = 0;  // the 32-bit size field: 0 runs to the end, 1 a 64-bit size follows
  char type[4] = {};
};

struct BoxWalk {
  uint64_t end = 0;        // just after the last box taken
  uint32_t boxes = 0;      // boxes taken
  bool malformed = false;  // a box size of 2 to 7, an unreadable or too small 64-bit size, too many boxes
};

// The most boxes one walk takes; a longer walk is malformed.
constexpr uint32_t kMaxTopLevelBoxes = 1000000;

// Walks the boxes from offset 0 while a box header (8 bytes) starts before
// `cursor.size() - 8`.  `accept` is asked about each box head; false ends
// the walk before that box.  A box of size 0 (one that runs to the end of
// the file, whose end is unknown) is taken as its 8 header bytes and ends
// the walk.  The end may lie past the cursor's end when the last box is cut
// off; the caller decides what that means.
BoxWalk walkTopLevelBoxes(ByteCursor& cursor, const std::function<bool(const BoxHead&)>& accept);
