// JPEG (JFIF and Exif) files: walks the marker segments and the
// entropy-coded data up to the end-of-image marker.  Registered as "jpeg".
#pragma once

#include "engine/FileModule.h"

class FileModuleJpeg : public FileModule {
 public:
  // The first three bytes are FF D8 FF.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // On success the size is the end of the end-of-image marker and "t" is
  // "jpeg".  A truncated or malformed file, or one longer than the reader,
  // is refused.  Runs of 0xFF fill bytes before a marker code are skipped.
  bool analyze(Reader& reader, File& file) override;

  static constexpr uint32_t kPieceSize = 4096;
};
