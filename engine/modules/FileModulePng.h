// PNG images: the chunks are walked to IEND.  Registered as "png".
#pragma once

#include "engine/FileModule.h"

class FileModulePng : public FileModule {
 public:
  // The sector starts with the PNG signature 89 50 4E 47 0D 0A 1A 0A.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // The size ends with the IEND chunk; refused when that lies beyond the
  // reader or a chunk head cannot be read.  CRCs are not checked.
  bool analyze(Reader& reader, File& file) override;
};
