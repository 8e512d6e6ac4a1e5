// GIF images (87a and 89a): the blocks are walked to the trailer byte.
// Registered as "gif".
#pragma once

#include "engine/FileModule.h"

class FileModuleGif : public FileModule {
 public:
  // The sector starts with "GIF87a" or "GIF89a".
  bool scan(const uint8_t* sector, uint32_t length) override;
  // The size includes the trailer (0x3B).  Refused: an unknown block or
  // extension, or data running to the reader's end.
  bool analyze(Reader& reader, File& file) override;
};
