// Windows bitmaps: the file header states the size.  Registered as "bmp".
#pragma once

#include "engine/FileModule.h"

class FileModuleBmp : public FileModule {
 public:
  // "BM" with a zero first reserved word (bytes 6 and 7).
  bool scan(const uint8_t* sector, uint32_t length) override;
  // The size field at 2; refused when it exceeds the reader, is too small
  // for the headers, or the header after the file header has none of the
  // sizes that bitmap headers have.
  bool analyze(Reader& reader, File& file) override;
};
