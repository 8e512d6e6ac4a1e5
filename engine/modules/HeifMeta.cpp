#include "engine/modules/HeifMeta.h"

#include "media/ByteCursor.h"

namespace {

// Sequential big-endian fields of one box body; any read past the box's
// end fails and stays failed.
class BoxFields {
 public:
  BoxFields(ByteCursor& cursor, uint64_t position, uint64_t end) : cursor_(cursor), position_(position), end_(end) {}
  bool ok() const { return ok_; }
  uint64_t position() const { return position_; }
  uint64_t take(unsigned bytes) {
    uint8_t b[8];
    if (!ok_ || bytes > 8 || end_ - position_ < bytes || (bytes && !cursor_.read(position_, b, bytes))) {
      ok_ = false;
      return 0;
    }
    position_ += bytes;
    uint64_t v = 0;
    for (unsigned i = 0; i < bytes; ++i) v = v << 8 | b[i];
    return v;
  }
  bool type(char out[4]) {
    if (!ok_ || end_ - position_ < 4 || !cursor_.read(position_, out, 4)) return ok_ = false;
    position_ += 4;
    return true;
  }

 private:
  ByteCursor& cursor_;
  uint64_t position_, end_;
  bool ok_ = true;
};

// More than any writer gives; the rest of a longer list is dropped.
const size_t kMaxThumbnails = 1024;
const size_t kMaxPropertiesPerItem = 1024;

bool validFieldSize(uint64_t bytes) { return bytes == 0 || bytes == 4 || bytes == 8; }

HeifItem* itemFor(HeifMeta& meta, uint32_t id) {
  auto found = meta.index.find(id);
  if (found != meta.index.end()) return &meta.items[found->second];
  if (meta.items.size() >= kMaxHeifItems) return nullptr;
  meta.index[id] = meta.items.size();
  meta.items.emplace_back();
  meta.items.back().id = id;
  return &meta.items.back();
}

bool readLocations(ByteCursor& cursor, const IsoBox& box, HeifMeta& meta) {
  BoxFields f(cursor, box.body(), box.end());
  unsigned version = unsigned(f.take(1));
  f.take(3);
  uint64_t sizes = f.take(2);
  unsigned offsetSize = sizes >> 12 & 15, lengthSize = sizes >> 8 & 15, baseSize = sizes >> 4 & 15;
  unsigned indexSize = version >= 1 ? sizes & 15 : 0;
  if (!f.ok() || version > 2 || !validFieldSize(offsetSize) || !validFieldSize(lengthSize) ||
      !validFieldSize(baseSize) || !validFieldSize(indexSize))
    return false;
  uint64_t count = f.take(version < 2 ? 2 : 4);
  uint64_t extents = 0;
  for (uint64_t i = 0; i < count && f.ok(); ++i) {
    uint32_t id = uint32_t(f.take(version < 2 ? 2 : 4));
    unsigned method = version >= 1 ? unsigned(f.take(2) & 15) : 0;
    f.take(2);  // data reference: 0 is this file
    uint64_t base = f.take(baseSize);
    uint64_t extentCount = f.take(2);
    HeifItem* item = f.ok() ? itemFor(meta, id) : nullptr;
    if (!item || method > 2 || (extents += extentCount) > kMaxHeifExtents) return false;
    // Extents of no bytes at all would all be the same one; so many of them
    // are not a file's.
    if (extentCount > 1 && indexSize + offsetSize + lengthSize == 0) return false;
    item->constructionMethod = uint8_t(method);
    item->extents.clear();
    for (uint64_t e = 0; e < extentCount && f.ok(); ++e) {
      f.take(indexSize);
      HeifExtent extent;
      uint64_t offset = f.take(offsetSize);
      extent.length = f.take(lengthSize);
      if (offset > UINT64_MAX - base) return false;
      extent.offset = base + offset;
      item->extents.push_back(extent);
    }
  }
  return f.ok();
}

bool readInfos(ByteCursor& cursor, const IsoBox& box, HeifMeta& meta) {
  BoxFields f(cursor, box.body(), box.end());
  unsigned version = unsigned(f.take(1));
  f.take(3);
  f.take(version == 0 ? 2 : 4);  // entry count: the boxes themselves tell
  if (!f.ok()) return false;
  bool ok = true;
  bool walked = forEachIsoBox(cursor, f.position(), box.end(), [&](const IsoBox& entry) {
    if (!entry.is("infe")) return true;
    BoxFields e(cursor, entry.body(), entry.end());
    unsigned entryVersion = unsigned(e.take(1));
    e.take(3);
    uint32_t id = uint32_t(e.take(entryVersion >= 3 ? 4 : 2));
    e.take(2);  // protection index
    char type[4] = {};
    if (entryVersion >= 2) e.type(type);
    HeifItem* item = e.ok() ? itemFor(meta, id) : nullptr;
    if (!item) return ok = false;
    memcpy(item->type, type, 4);
    return true;
  });
  return walked && ok;
}

bool readReferences(ByteCursor& cursor, const IsoBox& box, HeifMeta& meta) {
  BoxFields f(cursor, box.body(), box.end());
  unsigned idBytes = f.take(1) == 0 ? 2 : 4;
  f.take(3);
  if (!f.ok()) return false;
  bool ok = true;
  bool walked = forEachIsoBox(cursor, f.position(), box.end(), [&](const IsoBox& reference) {
    if (!reference.is("thmb")) return true;
    BoxFields r(cursor, reference.body(), reference.end());
    uint32_t from = uint32_t(r.take(idBytes));
    uint64_t count = r.take(2);
    for (uint64_t i = 0; i < count && r.ok(); ++i) {
      uint32_t to = uint32_t(r.take(idBytes));
      if (r.ok() && meta.thumbnails.size() < kMaxThumbnails) meta.thumbnails.emplace_back(from, to);
    }
    return ok = r.ok();
  });
  return walked && ok;
}

bool readAssociations(ByteCursor& cursor, const IsoBox& box, HeifMeta& meta) {
  BoxFields f(cursor, box.body(), box.end());
  unsigned version = unsigned(f.take(1));
  bool wide = f.take(3) & 1;
  uint64_t count = f.take(4);
  for (uint64_t i = 0; i < count && f.ok(); ++i) {
    uint32_t id = uint32_t(f.take(version < 1 ? 2 : 4));
    uint64_t associations = f.take(1);
    HeifItem* item = f.ok() ? itemFor(meta, id) : nullptr;
    if (!item) return false;
    for (uint64_t a = 0; a < associations && f.ok(); ++a) {
      uint64_t value = f.take(wide ? 2 : 1);
      if (item->properties.size() < kMaxPropertiesPerItem) item->properties.push_back(uint16_t(value & (wide ? 0x7FFF : 0x7F)));
    }
  }
  return f.ok();
}

bool readProperties(ByteCursor& cursor, const IsoBox& box, HeifMeta& meta) {
  bool ok = true;
  bool walked = forEachIsoBox(cursor, box.body(), box.end(), [&](const IsoBox& child) {
    if (child.is("ipco")) {
      meta.properties.clear();
      return ok = forEachIsoBox(cursor, child.body(), child.end(), [&](const IsoBox& property) {
        meta.properties.push_back(property);
        return true;
      });
    }
    if (child.is("ipma")) return ok = readAssociations(cursor, child, meta);
    return true;
  });
  return walked && ok;
}

}  // namespace

const HeifItem* HeifMeta::item(uint32_t id) const {
  auto found = index.find(id);
  return found == index.end() ? nullptr : &items[found->second];
}

const IsoBox* HeifMeta::property(const HeifItem& item, const char* type) const {
  for (uint16_t number : item.properties)
    if (number >= 1 && number <= properties.size() && properties[number - 1].is(type)) return &properties[number - 1];
  return nullptr;
}

bool readHeifMeta(ByteCursor& cursor, const IsoBox& meta, HeifMeta& out) {
  if (meta.bodyBytes() < 4) return false;
  bool ok = true;
  bool walked = forEachIsoBox(cursor, meta.body() + 4, meta.end(), [&](const IsoBox& box) {
    BoxFields f(cursor, box.body(), box.end());
    if (box.is("hdlr")) {
      char handler[4];
      f.take(8);  // version, flags, pre-defined
      out.picture = f.type(handler) && memcmp(handler, "pict", 4) == 0;
    } else if (box.is("pitm")) {
      unsigned version = unsigned(f.take(1));
      f.take(3);
      out.primary = uint32_t(f.take(version == 0 ? 2 : 4));
      ok = f.ok();
    } else if (box.is("iloc")) {
      ok = readLocations(cursor, box, out);
    } else if (box.is("iinf")) {
      ok = readInfos(cursor, box, out);
    } else if (box.is("iref")) {
      ok = readReferences(cursor, box, out);
    } else if (box.is("iprp")) {
      ok = readProperties(cursor, box, out);
    }
    return ok;
  });
  return walked && ok;
}
