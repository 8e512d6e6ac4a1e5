// The item structure of a HEIF (HEIC, AVIF) file, read from its "meta"
// box: which items there are, where their bytes lie, which item is the
// picture, which are its thumbnails, and each item's properties.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "engine/modules/IsoBoxes.h"

class ByteCursor;

struct HeifExtent {
  uint64_t offset = 0;  // with the item's base offset added
  uint64_t length = 0;  // 0: to the end of the data it lies in
};

struct HeifItem {
  uint32_t id = 0;
  char type[4] = {};              // "hvc1", "av01", "jpeg", "grid", "Exif", ...; zero when not given
  uint8_t constructionMethod = 0; // 0: extents are file offsets; 1: inside "idat"; 2: inside other items
  std::vector<HeifExtent> extents;
  std::vector<uint16_t> properties;  // 1-based indices into HeifMeta::properties
};

struct HeifMeta {
  bool picture = false;  // the handler is "pict"
  uint32_t primary = 0;  // the primary item ("pitm"), 0 when none
  std::vector<HeifItem> items;
  std::vector<std::pair<uint32_t, uint32_t>> thumbnails;  // (thumbnail item, the item it shows)
  std::vector<IsoBox> properties;                         // the "ipco" boxes, in order

  const HeifItem* item(uint32_t id) const;
  // The item's property of `type`, or null.
  const IsoBox* property(const HeifItem& item, const char* type) const;

  std::map<uint32_t, size_t> index;  // item id -> position in items
};

// Limits on what one file may declare; a file beyond them is refused.
constexpr uint32_t kMaxHeifItems = 65536;
constexpr uint32_t kMaxHeifExtents = 262144;  // over all items

// Reads the children of the "meta" box.  False when a box it needs is
// malformed or a limit is passed; then `out` is incomplete.
bool readHeifMeta(ByteCursor& cursor, const IsoBox& meta, HeifMeta& out);
