// Canon CRW raw files (CIFF).  The root heap runs to the end of the file
// and ends with the offset of its table, so the end is found by searching
// for a 32-bit value that points back at a consistent table holding raw
// data.  Registered as "crw".
#pragma once

#include "engine/FileModule.h"

class FileModuleCrw : public FileModule {
 public:
  // A CIFF header of 26 bytes with the signature "HEAPCCDR", either order.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Searches from byte kSearchFrom to the reader's end, then up to
  // kSecondLook bytes past the first end found (a later end wins).
  // "t" = "crw", "raw" = true, and the thumbnail (or else the JPEG) as
  // preview.  Reads the candidate once, in pieces.
  bool analyze(Reader& reader, File& file) override;

  static constexpr uint64_t kSearchFrom = 500000;
  static constexpr uint64_t kSecondLook = 65536;
  static constexpr uint32_t kPieceBytes = 65536;
  // Bytes of the previous piece kept in front of the next: the furthest a
  // table's entry count lies before the end pointer, and 3 more.
  static constexpr uint32_t kCarry = 85;
};
