// QuickTime movies and MPEG-4 files: a walk over the top-level atoms.
// Registered as "mov" and "mp4".
#pragma once

#include "engine/FileModule.h"

class FileModuleMov : public FileModule {
 public:
  // The four bytes at offset 4 are "moov", "ftyp", "pnot" or "mdat".
  bool scan(const uint8_t* sector, uint32_t length) override;
  // The file ends after the last top-level atom of a known type.  At least
  // two atoms and 1024 bytes, all inside the reader, or it is refused.  "t"
  // is "mp4" when the first compatible brand names an MPEG-4 family, else
  // "mov".
  bool analyze(Reader& reader, File& file) override;

  static constexpr uint64_t kMinSize = 1024;
};
