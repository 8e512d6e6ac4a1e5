// Placeable Windows metafiles: a 22-byte placeable header, then the
// metafile header with the size in 16-bit words.  Registered as "wmf".
#pragma once

#include "engine/FileModule.h"

class FileModuleWmf : public FileModule {
 public:
  // The sector starts with D7 CD C6 9A 00 00.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Type 1 or 2 and a 9-word header; size = 22 + twice the size in words.
  // Refused when that exceeds the reader or is smaller than the headers.
  bool analyze(Reader& reader, File& file) override;
};
