// Fuji raw files (RAF): a header with the camera's name and a directory of
// three pieces (JPEG preview, raw header, raw data), each given by a
// big-endian offset and length.  Registered as "raf".
#pragma once

#include "engine/FileModule.h"

class FileModuleRaf : public FileModule {
 public:
  // The sector starts with "FUJIFILMCCD-RAW ".
  bool scan(const uint8_t* sector, uint32_t length) override;
  // The file ends with the piece that reaches furthest; every piece must lie
  // inside the reader and the raw data must be present.  "t" = "raf",
  // "raw" = true, the JPEG piece is the preview.
  bool analyze(Reader& reader, File& file) override;
};
