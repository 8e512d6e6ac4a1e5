// WebP pictures: RIFF files of the form "WEBP", told apart from the other
// RIFF forms so that they get the type a user knows.  Registered as "webp".
#pragma once

#include "engine/FileModule.h"

class FileModuleWebp : public FileModule {
 public:
  // The sector starts with "RIFF" and holds "WEBP" at 8.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Size = 8 + the RIFF size, inside the reader, whose chunks fill it
  // exactly: first the picture's header chunk ("VP8 ", "VP8L" or "VP8X"),
  // and some picture data.  "t" is "webp".
  bool analyze(Reader& reader, File& file) override;
};
