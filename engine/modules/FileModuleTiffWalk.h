// The walk over the directories (IFDs) of a TIFF file or of a camera raw
// file built on TIFF: the main chain, sub-IFDs, the Exif, GPS,
// interoperability, Kodak and maker-note IFDs.  It records in a TiffLayout
// how far the file reaches (every IFD, tag value, strip and tile) and which
// images it holds; it reads only directories, tag values and the heads of
// JPEG streams, never the image data.
//
// Bounds: the layout's IFD and image limits, 1000 entries per IFD, 65536
// bytes of strip or tile offsets and counts, 1024 bytes of sub-IFD offsets,
// 64 bytes of make and model, kMaxDepth levels of nested sub-IFDs.  Any
// failed read, malformed entry, repeated once-only tag, or structure beyond
// the layout's limit fails the walk.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/modules/TiffLayout.h"
#include "media/ByteCursor.h"

class Reader;

// How a raw format departs from TIFF proper.
struct TiffDialect {
  // The raw image is stored without the baseline geometry tags (RW2): an
  // image whose geometry stays unknown is passed over (its data still counts
  // for the file's end) instead of failing the walk.
  bool lenientImages = false;
  // A tag whose value and count give the offset and length of an embedded
  // JPEG preview (RW2's 0x2E); 0 for none.  Recorded as the layout's
  // namedPreview.
  uint16_t previewTag = 0;
};

class TiffWalk {
 public:
  static constexpr uint16_t kMaxEntries = 1000;
  static constexpr uint32_t kMaxStripBytes = 65536;
  static constexpr uint32_t kMaxSubIfdBytes = 1024;
  static constexpr uint32_t kMaxNameBytes = 64;
  static constexpr int kMaxDepth = 16;

  // `reader` and `layout` must outlive the walk; all offsets are from byte 0
  // of the reader.
  TiffWalk(Reader& reader, bool bigEndian, TiffLayout& layout, TiffDialect dialect = TiffDialect());

  // The main chain from the IFD at `first` up to a next-IFD offset of 0.
  bool walkChain(uint64_t first);
  // The IFD at `offset` alone (with its sub-IFDs, Exif IFD and maker note).
  bool walkFirst(uint64_t offset);

  uint16_t u16(const uint8_t* p) const;
  uint32_t u32(const uint8_t* p) const;

 private:
  struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;        // the value field as a 32-bit number (the offset of data above 4 bytes)
    const uint8_t* field;  // the 4 bytes of the value field
    uint64_t length;       // bytes of data: element size times count
  };
  // Offsets and byte counts of strips or tiles.
  struct Pieces {
    std::vector<uint32_t> offsets;
    std::vector<uint32_t> counts;
    bool haveOffsets = false;
    bool haveCounts = false;
  };

  bool parseIfd(uint64_t offset, bool mainChain, int depth, uint64_t* next);
  bool parseExif(uint64_t offset);
  bool parseMakerNote(uint64_t offset);
  // An IFD whose entries only reach further (Kodak, GPS, interoperability);
  // on failure the layout's end is left as it was.
  bool parseExtentIfd(uint64_t offset);
  // Geometry from the image's JPEG stream when tags leave it out, and the
  // TIFF defaults; false when the image cannot be told and the dialect
  // wants it told.
  bool completeImage(TiffImage& image);

  // Reads an IFD's count and entries (and the next pointer when asked) and
  // extends the layout over them; `minEntries` is 0 or 1.
  bool readIfd(uint64_t offset, uint16_t minEntries, bool withNext, std::vector<uint8_t>& bytes, uint16_t& count);
  Entry entryAt(const uint8_t* p) const;
  // A single SHORT or LONG.
  bool scalar(const Entry& e, uint32_t& out) const;
  // All SHORT or LONG values of an entry, whose data may be at most
  // `maxBytes` long.
  bool values(const Entry& e, uint32_t maxBytes, std::vector<uint32_t>& out);
  bool text(const Entry& e, std::string& out);
  bool extendOverPieces(const Pieces& pieces);

  Reader& reader_;
  ByteCursor cursor_;
  bool big_;
  TiffLayout& layout_;
  TiffDialect dialect_;
};

// Element size of TIFF field types 1 to 12; 0 for any other type.
uint32_t tiffTypeSize(uint16_t type);
