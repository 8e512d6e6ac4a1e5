// Boxes inside the boxes of ISO base media files (HEIF, CR3, MPEG-4): the
// head of one box, and the children of a container.  Every read is bounded
// by the parent's end, so a box that claims more than its parent holds is
// malformed, not followed.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>

class ByteCursor;

struct IsoBox {
  uint64_t offset = 0;     // of the size field
  uint64_t headBytes = 8;  // 16 with a 64-bit size
  uint64_t size = 0;       // the whole box, head included
  char type[4] = {};

  uint64_t body() const { return offset + headBytes; }
  uint64_t end() const { return offset + size; }
  uint64_t bodyBytes() const { return size - headBytes; }
  bool is(const char* name) const { return memcmp(type, name, 4) == 0; }
};

// The most children one container may hold; more make it malformed.
constexpr uint32_t kMaxChildBoxes = 100000;

// The box at `offset`, which must end by `limit`.  A size of 0 runs to
// `limit`.  False when the head cannot be read or the box does not fit.
bool readIsoBox(ByteCursor& cursor, uint64_t offset, uint64_t limit, IsoBox& box);

// Calls `visit` for each box from `begin` to `end`, in order, until it
// returns false.  False when a box does not fit or there are too many.
bool forEachIsoBox(ByteCursor& cursor, uint64_t begin, uint64_t end, const std::function<bool(const IsoBox&)>& visit);

// The first child of `parent` (its children start `skip` bytes into its
// body: 4 for full boxes, 16 after a uuid) whose type is `name`.
bool findIsoBox(ByteCursor& cursor, const IsoBox& parent, uint64_t skip, const char* name, IsoBox& found);

// The children of a "meta" box: a full box in ISO files, a plain one in
// QuickTime's; tells them apart by what follows the head.
uint64_t metaChildrenSkip(ByteCursor& cursor, const IsoBox& meta);

// The brands of the "ftyp" box that opens a file.
struct FileBrands {
  char major[4] = {};
  uint32_t compatibleCount = 0;
  char compatible[32][4] = {};  // the first 32; more are not looked at

  // The major brand or one of the compatible ones is in `names`.
  bool any(const char* const* names, size_t count) const;
  bool majorIn(const char* const* names, size_t count) const;
};

// From the first bytes of a file (as much of the "ftyp" box as they hold);
// false when they do not start with an "ftyp" box.
bool fileBrands(const uint8_t* bytes, size_t length, FileBrands& brands);
// The same through a cursor.
bool fileBrands(ByteCursor& cursor, FileBrands& brands);
