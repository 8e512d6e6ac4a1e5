#include "engine/modules/FileModuleTiffWalk.h"

#include <bitset>
#include <cstring>

#include "engine/modules/FileModuleJpeg.h"
#include "media/Reader.h"
#include "media/ReaderReader.h"
#include "shell/Endian.h"

namespace {

enum Tag : uint16_t {
  kImageWidth = 0x100,
  kImageLength = 0x101,
  kBitsPerSample = 0x102,
  kCompression = 0x103,
  kMake = 0x10F,
  kModel = 0x110,
  kStripOffsets = 0x111,
  kStripByteCounts = 0x117,
  kTileOffsets = 0x144,
  kTileByteCounts = 0x145,
  kSubIfds = 0x14A,
  kJpegOffset = 0x201,
  kJpegLength = 0x202,
  kLeafMark = 0x85FF,
  kKodakIfd = 0x8290,
  kExifIfd = 0x8769,
  kGpsIfd = 0x8825,
  kMakerNote = 0x927C,
  kInteropIfd = 0xA005,
  kMakerJpeg = 0x81,
  kMakerThumbOffset = 0x88,
  kMakerThumbLength = 0x89,
};

enum Type : uint16_t { kAscii = 2, kShort = 3, kLong = 4 };

const uint32_t kEntryBytes = 12;

// Tags that may occur once per IFD, in the order of the bits that mark them.
const uint16_t kOnceOnly[] = {kImageWidth,   kImageLength,     kBitsPerSample, kCompression,
                              kStripOffsets, kStripByteCounts, kTileOffsets,   kTileByteCounts};

int onceBit(uint16_t tag) {
  for (size_t i = 0; i < sizeof kOnceOnly / sizeof kOnceOnly[0]; ++i)
    if (kOnceOnly[i] == tag) return static_cast<int>(i);
  return -1;
}

// Entries of the Kodak DC40 whose values are taken again big-endian.
enum KodakSlot { kSlotWidth, kSlotHeight, kSlotStrip, kSlotBits, kSlotCompression, kSlots };

}  // namespace

uint32_t tiffTypeSize(uint16_t type) {
  static const uint8_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  return type < sizeof sizes ? sizes[type] : 0;
}

TiffWalk::TiffWalk(Reader& reader, bool bigEndian, TiffLayout& layout, TiffDialect dialect)
    : reader_(reader), cursor_(reader, layout.limit), big_(bigEndian), layout_(layout), dialect_(dialect) {}

uint16_t TiffWalk::u16(const uint8_t* p) const { return big_ ? be16(p) : le16(p); }
uint32_t TiffWalk::u32(const uint8_t* p) const { return big_ ? be32(p) : le32(p); }

TiffWalk::Entry TiffWalk::entryAt(const uint8_t* p) const {
  Entry e;
  e.tag = u16(p);
  e.type = u16(p + 2);
  e.count = u32(p + 4);
  e.field = p + 8;
  e.value = u32(p + 8);
  e.length = uint64_t(tiffTypeSize(e.type)) * e.count;
  return e;
}

bool TiffWalk::walkChain(uint64_t first) {
  uint64_t offset = first;
  for (;;) {  // ends at a 0 pointer; a loop ends at the layout's IFD limit
    uint64_t next = 0;
    if (!parseIfd(offset, true, 0, &next)) return false;
    if (next == 0) return true;
    offset = next;
  }
}

bool TiffWalk::walkFirst(uint64_t offset) {
  uint64_t next = 0;
  return parseIfd(offset, true, 0, &next);
}

bool TiffWalk::readIfd(uint64_t offset, uint16_t minEntries, bool withNext, std::vector<uint8_t>& bytes,
                       uint16_t& count) {
  if (!layout_.countIfd()) return false;
  uint8_t head[2];
  if (!cursor_.read(offset, head, 2)) return false;
  count = u16(head);
  if (count < minEntries || count > kMaxEntries) return false;
  uint64_t length = 2 + uint64_t(kEntryBytes) * count + (withNext ? 4 : 0);
  if (!layout_.extendTo(offset + length)) return false;
  bytes.resize(length);
  return cursor_.read(offset, bytes.data(), length);
}

bool TiffWalk::scalar(const Entry& e, uint32_t& out) const {
  if (e.count != 1) return false;
  if (e.type == kShort)
    out = u16(e.field);
  else if (e.type == kLong)
    out = e.value;
  else
    return false;
  return true;
}

bool TiffWalk::values(const Entry& e, uint32_t maxBytes, std::vector<uint32_t>& out) {
  if ((e.type != kShort && e.type != kLong) || e.count == 0 || e.length > maxBytes) return false;
  std::vector<uint8_t> data(e.length);
  if (e.length <= 4)
    memcpy(data.data(), e.field, e.length);
  else if (!cursor_.read(e.value, data.data(), e.length))
    return false;
  out.resize(e.count);
  for (uint32_t i = 0; i < e.count; ++i) out[i] = e.type == kShort ? u16(&data[2 * i]) : u32(&data[4 * i]);
  return true;
}

bool TiffWalk::text(const Entry& e, std::string& out) {
  if (e.type != kAscii) return false;
  // Only the first kMaxNameBytes count; short texts lie in the entry itself.
  size_t n = static_cast<size_t>(e.length < kMaxNameBytes ? e.length : kMaxNameBytes);
  char buffer[kMaxNameBytes];
  if (e.length <= 4)
    memcpy(buffer, e.field, n);
  else if (!cursor_.read(e.value, buffer, n))
    return false;
  out.assign(buffer, strnlen(buffer, n));
  return true;
}

bool TiffWalk::extendOverPieces(const Pieces& pieces) {
  if (!pieces.haveOffsets || !pieces.haveCounts) return true;
  size_t n = pieces.offsets.size() < pieces.counts.size() ? pieces.offsets.size() : pieces.counts.size();
  for (size_t i = 0; i < n; ++i)
    if (pieces.counts[i] != 0 && !layout_.extendTo(uint64_t(pieces.offsets[i]) + pieces.counts[i])) return false;
  return true;
}

bool TiffWalk::parseIfd(uint64_t offset, bool mainChain, int depth, uint64_t* next) {
  if (depth > kMaxDepth) return false;
  std::vector<uint8_t> bytes;
  uint16_t count = 0;
  if (!readIfd(offset, 0, mainChain, bytes, count)) return false;

  TiffImage image;
  Pieces strips, tiles;
  std::bitset<sizeof kOnceOnly / sizeof kOnceOnly[0]> seen;
  const Entry* kodak[kSlots] = {};
  std::vector<Entry> entries(count);
  for (uint16_t i = 0; i < count; ++i) {
    Entry& e = entries[i];
    e = entryAt(&bytes[2 + kEntryBytes * i]);
    if (e.tag == 0) continue;
    if (tiffTypeSize(e.type) == 0) return false;
    int bit = onceBit(e.tag);
    if (bit >= 0) {
      if (seen.test(bit)) return false;
      seen.set(bit);
    }
    std::vector<uint32_t> list;
    switch (e.tag) {
      case kImageWidth:
        if (!scalar(e, image.width)) return false;
        kodak[kSlotWidth] = &e;
        break;
      case kImageLength:
        if (!scalar(e, image.height)) return false;
        kodak[kSlotHeight] = &e;
        break;
      case kBitsPerSample: {
        if (e.type != kShort || e.count == 0) return false;
        uint8_t first[2];
        if (e.length <= 4)
          memcpy(first, e.field, 2);
        else if (!cursor_.read(e.value, first, 2))
          return false;
        image.bitsPerSample = u16(first);
        image.samples = e.count;
        kodak[kSlotBits] = &e;
        break;
      }
      case kCompression:
        if (e.type != kShort || !scalar(e, image.compression)) return false;
        kodak[kSlotCompression] = &e;
        break;
      case kMake:
        if (!text(e, layout_.make)) return false;
        break;
      case kModel:
        if (!text(e, layout_.model)) return false;
        break;
      case kStripOffsets:
        if (!values(e, kMaxStripBytes, strips.offsets)) return false;
        strips.haveOffsets = true;
        image.offset = strips.offsets[0];
        kodak[kSlotStrip] = &e;
        break;
      case kStripByteCounts: {
        if (!values(e, kMaxStripBytes, strips.counts)) return false;
        strips.haveCounts = true;
        uint64_t sum = 0;
        for (uint32_t c : strips.counts) sum += c;
        if (sum >= TiffImage::kUnknown) return false;
        image.size = static_cast<uint32_t>(sum);
        break;
      }
      case kTileOffsets:
        if (!values(e, kMaxStripBytes, tiles.offsets)) return false;
        tiles.haveOffsets = true;
        break;
      case kTileByteCounts:
        if (!values(e, kMaxStripBytes, tiles.counts)) return false;
        tiles.haveCounts = true;
        break;
      case kJpegOffset:
        if (e.type != kLong || !scalar(e, image.offset)) return false;
        break;
      case kJpegLength:
        if (e.type != kLong || !scalar(e, image.size)) return false;
        break;
      case kSubIfds:
        if (e.type != kLong || e.count == 0) return false;
        if (e.count == 1)
          list.push_back(e.value);
        else if (!values(e, kMaxSubIfdBytes, list))
          return false;
        for (uint32_t sub : list)
          if (!parseIfd(sub, false, depth + 1, nullptr)) return false;
        break;
      case kLeafMark:
        if (layout_.make.empty()) layout_.make = "Leaf";
        break;
      case kExifIfd:
        if (e.type != kLong || e.count != 1 || !parseExif(e.value)) return false;
        break;
      case kKodakIfd:
        if (layout_.make != "Kodak") break;
        if (e.type != kLong || e.count != 1 || !parseExtentIfd(e.value)) return false;
        break;
      case kGpsIfd:
        // Reaches further when it parses; a damaged GPS IFD is not worth the file.
        if (e.type == kLong && e.count == 1) (void)parseExtentIfd(e.value);
        break;
      default:
        if (dialect_.previewTag != 0 && e.tag == dialect_.previewTag && e.length > 4) {
          layout_.namedPreview.offset = e.value;
          layout_.namedPreview.size = e.count;
        }
    }
    // Every value outside the entry is part of the file, strip offsets too.
    if (e.length > 4 && !layout_.extendTo(uint64_t(e.value) + e.length)) return false;
  }
  if (mainChain) *next = u32(&bytes[2 + kEntryBytes * count]);

  // Camera fix-ups: files that state some values in another way.
  if (layout_.make == "Eastman Kodak Company" && layout_.model == "Digital Camera 40") {
    for (const Entry* e : kodak)
      if (!e) return false;
    image.width = be16(kodak[kSlotWidth]->field + 2);
    image.height = be16(kodak[kSlotHeight]->field + 2);
    image.offset = be32(kodak[kSlotStrip]->field);
    uint8_t bits[2];
    if (!cursor_.read(kodak[kSlotBits]->value, bits, 2)) return false;
    image.bitsPerSample = be16(bits);
    image.compression = be16(kodak[kSlotCompression]->field + 2);
  }
  if (layout_.make == "SONY" && layout_.model == "DSC-F828" && image.offset == TiffImage::kUnknown)
    image.offset = 862144;

  if (!extendOverPieces(strips) || !extendOverPieces(tiles)) return false;
  if (image.offset == TiffImage::kUnknown) return true;
  if (!completeImage(image)) return false;
  if (!image.complete() && dialect_.lenientImages) return true;
  if (!layout_.addImage(image)) return false;
  // Strip images end where their furthest strip does (above); a JPEG
  // stream where its length says.
  if (!strips.haveOffsets || !strips.haveCounts) return layout_.extendTo(uint64_t(image.offset) + image.size);
  return true;
}

bool TiffWalk::completeImage(TiffImage& image) {
  if (!image.geometryKnown()) {
    JpegGeometry geometry;
    switch (FileModuleJpeg::readGeometry(cursor_, image.offset, geometry)) {
      case FileModuleJpeg::Frame::kFound:
        image.bitsPerSample = geometry.bitsPerSample;
        image.height = geometry.height;
        image.width = geometry.width;
        image.samples = geometry.samples;
        if (image.compression == TiffImage::kUnknown) image.compression = 6;
        break;
      case FileModuleJpeg::Frame::kNoFrame:
        break;
      case FileModuleJpeg::Frame::kBad:
        // Not a JPEG stream.  TIFF lets bilevel images leave out their
        // depth (one bit, one sample); without a width or height nothing
        // can be told.
        if (image.width != TiffImage::kUnknown && image.height != TiffImage::kUnknown &&
            image.bitsPerSample == TiffImage::kUnknown) {
          image.bitsPerSample = 1;
          image.samples = 1;
        } else if (!dialect_.lenientImages) {
          return false;
        }
    }
  }
  // Uncompressed unless stated: the TIFF default.
  if (image.compression == TiffImage::kUnknown) image.compression = 1;
  return true;
}

bool TiffWalk::parseExif(uint64_t offset) {
  std::vector<uint8_t> bytes;
  uint16_t count = 0;
  if (!readIfd(offset, 1, false, bytes, count)) return false;
  for (uint16_t i = 0; i < count; ++i) {
    Entry e = entryAt(&bytes[2 + kEntryBytes * i]);
    if (tiffTypeSize(e.type) == 0 || e.count == 0) return false;
    if (e.tag == kMakerNote) {
      if (e.length > 4) {
        layout_.makerNoteOffset = e.value;
        layout_.makerNoteLength = e.length;
      }
      if (layout_.makerNoteKind == 1 || layout_.make == "Canon") {
        if (e.length < 5 || !parseMakerNote(e.value)) return false;
      } else if (layout_.make == "SAMSUNG TECHWIN") {
        uint8_t span[8];
        if (e.length < 5 || !cursor_.read(uint64_t(e.value) + 8, span, sizeof span)) return false;
        (void)layout_.extendTo(uint64_t(be32(span)) + be32(span + 4));
      }
    } else if (e.tag == kInteropIfd && e.type == kLong && e.count == 1) {
      (void)parseExtentIfd(e.value);
    }
    if (e.length > 4 && !layout_.extendTo(uint64_t(e.value) + e.length)) return false;
  }
  return true;
}

bool TiffWalk::parseMakerNote(uint64_t offset) {
  std::vector<uint8_t> bytes;
  uint16_t count = 0;
  if (!readIfd(offset, 1, false, bytes, count)) return false;
  bool haveOffset = false, haveLength = false;
  uint32_t thumbOffset = 0, thumbLength = 0;
  for (uint16_t i = 0; i < count; ++i) {
    Entry e = entryAt(&bytes[2 + kEntryBytes * i]);
    if (tiffTypeSize(e.type) == 0 || e.count == 0) return false;
    if (e.length > 4 && !layout_.extendTo(uint64_t(e.value) + e.length)) return false;
    if (e.type != kLong) continue;
    if (e.tag == kMakerJpeg && e.value < reader_.size()) {
      // A JPEG preview known only by its start: the JPEG walk finds its end.
      ReaderReader preview(&reader_);
      FileModule::File found;
      FileModuleJpeg jpeg;
      if (preview.setWindow(e.value, layout_.limit - e.value) && jpeg.analyze(preview, found) &&
          !layout_.extendTo(uint64_t(e.value) + found.size))
        return false;
    } else if (e.tag == kMakerThumbOffset) {
      haveOffset = true;
      thumbOffset = e.value;
    } else if (e.tag == kMakerThumbLength) {
      haveLength = true;
      thumbLength = e.value;
    }
  }
  if (haveOffset) {
    if (!haveLength) return false;
    layout_.makerThumbOffset = thumbOffset;
    layout_.makerThumbSize = thumbLength;
  }
  return true;
}

bool TiffWalk::parseExtentIfd(uint64_t offset) {
  std::vector<uint8_t> bytes;
  uint16_t count = 0;
  uint64_t before = layout_.end;
  if (!readIfd(offset, 1, false, bytes, count)) {
    layout_.end = before;
    return false;
  }
  uint64_t furthest = 0;
  for (uint16_t i = 0; i < count; ++i) {
    Entry e = entryAt(&bytes[2 + kEntryBytes * i]);
    if (tiffTypeSize(e.type) == 0) {
      layout_.end = before;
      return false;
    }
    if (e.length > 4 && uint64_t(e.value) + e.length > furthest) furthest = uint64_t(e.value) + e.length;
  }
  if (layout_.extendTo(furthest)) return true;
  layout_.end = before;
  return false;
}
