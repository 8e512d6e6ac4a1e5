#include "engine/modules/FileModuleHeif.h"

#include <algorithm>

#include "engine/modules/ExifDate.h"
#include "engine/modules/HeifMeta.h"
#include "engine/modules/IsoBoxes.h"
#include "engine/modules/PreviewAttributes.h"
#include "engine/modules/TopLevelBoxes.h"
#include "media/ByteCursor.h"
#include "media/Reader.h"

namespace {

const char* const kHeifBrands[] = {"mif1", "msf1", "heic", "heix", "heim", "heis", "hevc", "hevx", "avif", "avis"};
const char* const kHevcBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx"};
const char* const kAv1Brands[] = {"avif", "avis"};
const char* const kTopLevel[] = {"ftyp", "meta", "mdat", "free", "skip", "uuid", "moov", "wide", "pdin"};

template <size_t N>
bool isOneOf(const char* type, const char* const (&list)[N]) {
  for (const char* name : list)
    if (memcmp(type, name, 4) == 0) return true;
  return false;
}

const char* typeOf(const FileBrands& brands) {
  if (brands.majorIn(kAv1Brands, 2)) return "avif";
  if (brands.majorIn(kHevcBrands, 6)) return "heic";
  if (brands.any(kAv1Brands, 2)) return "avif";
  if (brands.any(kHevcBrands, 6)) return "heic";
  return "heif";
}

// The end of the item bytes that lie in the file itself, 0 when none; false
// when one of them has no length (it would run to the end of the file).
bool itemDataEnd(const HeifMeta& meta, uint64_t& end) {
  end = 0;
  for (const HeifItem& item : meta.items) {
    if (item.constructionMethod != 0) continue;
    for (const HeifExtent& extent : item.extents) {
      if (extent.length == 0 || extent.length > UINT64_MAX - extent.offset) return false;
      end = std::max(end, extent.offset + extent.length);
    }
  }
  return true;
}

// A thumbnail of the primary item that the thumbnail loader can show: one
// run of bytes, JPEG or HEVC/AV1 coded with its configuration.  Of several
// the one with the fewest pixels.
bool choosePreview(ByteCursor& cursor, const HeifMeta& meta, EmbeddedPreview& chosen) {
  bool found = false;
  uint64_t fewest = UINT64_MAX;
  for (auto& [thumbnail, master] : meta.thumbnails) {
    const HeifItem* item = meta.item(thumbnail);
    if (master != meta.primary || !item || item->constructionMethod != 0 || item->extents.size() != 1) continue;
    EmbeddedPreview preview;
    preview.offset = item->extents[0].offset;
    preview.size = item->extents[0].length;
    const IsoBox* config = nullptr;
    if (memcmp(item->type, "hvc1", 4) == 0) {
      preview.compression = kPreviewHevc;
      config = meta.property(*item, "hvcC");
    } else if (memcmp(item->type, "av01", 4) == 0) {
      preview.compression = kPreviewAv1;
      config = meta.property(*item, "av1C");
    } else if (memcmp(item->type, "jpeg", 4) != 0) {
      continue;
    }
    if (preview.compression != 6 && !config) continue;
    if (config) {
      preview.configOffset = config->offset;
      preview.configSize = config->size;
    }
    uint64_t pixels = UINT64_MAX - 1;  // unknown: taken only when there is nothing else
    const IsoBox* spatial = meta.property(*item, "ispe");
    uint32_t width = 0, height = 0;
    if (spatial && spatial->bodyBytes() >= 12 && cursor.be32(spatial->body() + 4, width) &&
        cursor.be32(spatial->body() + 8, height) && width && height) {
      preview.width = width;
      preview.height = height;
      pixels = uint64_t(width) * height;
    }
    // A coded item is put into a file of its own, which needs its size.
    if (preview.compression != 6 && !preview.width) continue;
    if (!found || pixels < fewest) {
      chosen = preview;
      fewest = pixels;
      found = true;
    }
  }
  return found;
}

// The date of the first Exif item: its bytes start with the distance from
// their fifth byte to the TIFF header.
bool exifDate(ByteCursor& cursor, const HeifMeta& meta, int64_t& seconds) {
  for (const HeifItem& item : meta.items) {
    if (memcmp(item.type, "Exif", 4) != 0 || item.constructionMethod != 0 || item.extents.size() != 1) continue;
    const HeifExtent& extent = item.extents[0];
    uint32_t skip = 0;
    if (extent.length < 4 || !cursor.be32(extent.offset, skip) || skip > extent.length - 4) return false;
    return tiffDate(cursor, extent.offset + 4 + skip, extent.offset + extent.length, seconds);
  }
  return false;
}

}  // namespace

bool FileModuleHeif::scan(const uint8_t* sector, uint32_t length) {
  FileBrands brands;
  return fileBrands(sector, length, brands) && brands.any(kHeifBrands, std::size(kHeifBrands));
}

bool FileModuleHeif::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  FileBrands brands;
  if (!fileBrands(cursor, brands) || !brands.any(kHeifBrands, std::size(kHeifBrands))) return false;
  IsoBox meta;
  bool haveMeta = false, openData = false;
  BoxWalk walk = walkTopLevelBoxes(cursor, [&](const BoxHead& head) {
    if (head.offset == 0 ? memcmp(head.type, "ftyp", 4) != 0 : !isOneOf(head.type, kTopLevel)) return false;
    if (memcmp(head.type, "meta", 4) == 0 && !haveMeta) haveMeta = readIsoBox(cursor, head.offset, cursor.size(), meta);
    openData = head.size32 == 0;
    return true;
  });
  HeifMeta items;
  if (walk.malformed || !haveMeta || walk.end > cursor.size()) return false;
  if (!readHeifMeta(cursor, meta, items) || !items.picture || !items.item(items.primary)) return false;
  uint64_t dataEnd = 0;
  if (!itemDataEnd(items, dataEnd)) return false;
  uint64_t end = walk.end;
  if (openData) {
    // An "mdat" of unknown size: the file ends with the last item's bytes.
    if (dataEnd < walk.end || dataEnd > cursor.size()) return false;
    end = dataEnd;
  } else if (dataEnd > end) {
    return false;
  }

  file.clear();
  file.attributes.set("t", typeOf(brands));
  file.size = end;
  EmbeddedPreview preview;
  if (choosePreview(cursor, items, preview)) setPreviewAttributes(file.attributes, preview, end);
  int64_t seconds = 0;
  if (exifDate(cursor, items, seconds)) setTimeAttribute(file.attributes, seconds);
  return true;
}
