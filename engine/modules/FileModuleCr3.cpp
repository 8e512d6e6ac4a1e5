#include "engine/modules/FileModuleCr3.h"

#include "engine/modules/ExifDate.h"
#include "engine/modules/IsoBoxes.h"
#include "engine/modules/PreviewAttributes.h"
#include "engine/modules/TopLevelBoxes.h"
#include "media/ByteCursor.h"
#include "media/Reader.h"

namespace {

const char* const kBrand[] = {"crx "};
const char* const kTopLevel[] = {"ftyp", "moov", "uuid", "mdat", "free", "skip", "wide"};

// The Canon boxes of "moov", and the preview box after it.
const uint8_t kCanonUuid[16] = {0x85, 0xc0, 0xb6, 0x87, 0x82, 0x0f, 0x11, 0xe0,
                                0x81, 0x11, 0xf4, 0xce, 0x46, 0x2b, 0x6a, 0x48};
const uint8_t kPreviewUuid[16] = {0xea, 0xf4, 0x2b, 0x5e, 0x1c, 0x98, 0x4b, 0x88,
                                  0xb9, 0xfb, 0xb7, 0xdc, 0x40, 0x6e, 0x4d, 0x16};
const uint64_t kUuidBytes = 16;

// THMB: width and height at 12 and 14, the JPEG's length at 16, its bytes
// at 24.  PRVW: width and height at 14 and 16, length at 20, bytes at 24.
const uint64_t kThumbLengthAt = 16, kPreviewLengthAt = 20, kJpegAt = 24;

template <size_t N>
bool isOneOf(const char* type, const char* const (&list)[N]) {
  for (const char* name : list)
    if (memcmp(type, name, 4) == 0) return true;
  return false;
}

bool isUuid(ByteCursor& cursor, const IsoBox& box, const uint8_t (&id)[16]) {
  uint8_t bytes[kUuidBytes];
  return box.is("uuid") && box.bodyBytes() >= kUuidBytes && cursor.read(box.body(), bytes, sizeof bytes) &&
         memcmp(bytes, id, sizeof bytes) == 0;
}

// A JPEG stored in `box` at 24, its length at `lengthAt`, its size in
// pixels at `widthAt`.
bool jpegIn(ByteCursor& cursor, const IsoBox& box, uint64_t lengthAt, uint64_t widthAt, EmbeddedPreview& preview) {
  uint32_t length = 0;
  uint16_t width = 0, height = 0;
  uint8_t start[2];
  if (box.size < kJpegAt || !cursor.be32(box.offset + lengthAt, length) || length > box.size - kJpegAt) return false;
  if (!cursor.read(box.offset + kJpegAt, start, 2) || start[0] != 0xFF || start[1] != 0xD8) return false;
  if (cursor.be16(box.offset + widthAt, width) && cursor.be16(box.offset + widthAt + 2, height)) {
    preview.width = width;
    preview.height = height;
  }
  preview.offset = box.offset + kJpegAt;
  preview.size = length;
  preview.compression = 6;
  return true;
}

struct CanonBoxes {
  bool movie = false;
  bool thumbnail = false;
  EmbeddedPreview preview;
  bool dated = false;
  int64_t seconds = 0;
};

void readCanonBoxes(ByteCursor& cursor, const IsoBox& moov, CanonBoxes& canon) {
  forEachIsoBox(cursor, moov.body(), moov.end(), [&](const IsoBox& box) {
    if (!isUuid(cursor, box, kCanonUuid)) return true;
    forEachIsoBox(cursor, box.body() + kUuidBytes, box.end(), [&](const IsoBox& tag) {
      char version[8];
      int64_t seconds = 0;
      if (tag.is("CNCV") && tag.bodyBytes() >= 8 && cursor.read(tag.body(), version, 8))
        canon.movie = memcmp(version, "CanonCRM", 8) == 0;
      else if (tag.is("THMB"))
        canon.thumbnail = jpegIn(cursor, tag, kThumbLengthAt, 12, canon.preview);
      // The Exif IFD (CMT2) has the time the picture was taken; IFD0
      // (CMT1) the time it was written.
      else if ((tag.is("CMT2") || (tag.is("CMT1") && !canon.dated)) && tiffDate(cursor, tag.body(), tag.end(), seconds))
        canon.dated = true, canon.seconds = seconds;
      return true;
    });
    return false;
  });
}

// The PRVW box of the preview "uuid" box: right after the identifier, or
// after 8 more bytes.
bool previewIn(ByteCursor& cursor, const IsoBox& uuid, EmbeddedPreview& preview) {
  for (uint64_t skip : {kUuidBytes, kUuidBytes + 8}) {
    IsoBox prvw;
    if (findIsoBox(cursor, uuid, skip, "PRVW", prvw) && jpegIn(cursor, prvw, kPreviewLengthAt, 14, preview)) return true;
  }
  return false;
}

}  // namespace

bool FileModuleCr3::scan(const uint8_t* sector, uint32_t length) {
  FileBrands brands;
  return fileBrands(sector, length, brands) && brands.majorIn(kBrand, 1);
}

bool FileModuleCr3::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  FileBrands brands;
  if (!fileBrands(cursor, brands) || !brands.majorIn(kBrand, 1)) return false;
  IsoBox moov, previewBox;
  bool haveMoov = false, havePreview = false, haveData = false, openData = false;
  BoxWalk walk = walkTopLevelBoxes(cursor, [&](const BoxHead& head) {
    if (head.offset == 0 ? memcmp(head.type, "ftyp", 4) != 0 : !isOneOf(head.type, kTopLevel)) return false;
    IsoBox box;
    if (readIsoBox(cursor, head.offset, cursor.size(), box)) {
      if (box.is("moov") && !haveMoov) moov = box, haveMoov = true;
      if (!havePreview && isUuid(cursor, box, kPreviewUuid)) previewBox = box, havePreview = true;
    }
    haveData |= memcmp(head.type, "mdat", 4) == 0;
    openData = head.size32 == 0;
    return true;
  });
  if (walk.malformed || openData || !haveMoov || !haveData || walk.end > cursor.size()) return false;

  CanonBoxes canon;
  readCanonBoxes(cursor, moov, canon);
  file.clear();
  file.attributes.set("t", canon.movie ? "crm" : "cr3");
  file.attributes.setBool("raw", true);
  file.size = walk.end;
  EmbeddedPreview preview = canon.preview;
  if ((canon.thumbnail || (havePreview && previewIn(cursor, previewBox, preview))))
    setPreviewAttributes(file.attributes, preview, walk.end);
  if (canon.dated) setTimeAttribute(file.attributes, canon.seconds);
  return true;
}
