// Panasonic raw files (RW2, also RWL): TIFF with the magic "IIU\0", whose
// first IFD names the raw strips with Panasonic's own geometry tags and
// embeds a full JPEG preview (tag 0x2E).  Registered as "rw2".
#pragma once

#include "engine/FileModule.h"

class FileModuleRw2 : public FileModule {
 public:
  // The sector starts with 49 49 55 00.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // "t" = "rw2", "raw" = true, the size the furthest structure or strip;
  // the embedded JPEG is the preview.
  bool analyze(Reader& reader, File& file) override;
};
