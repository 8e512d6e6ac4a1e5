// Outlook Express mail folders (DBX).  Registered as "dbx".
#pragma once

#include "engine/FileModule.h"

class FileModuleDbx : public FileModule {
 public:
  // The class identifier of the file header at bytes 8 to 27.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // The size is the file-size field of the header (at 0x7C); refused when
  // it lies beyond the reader or does not even cover the header up to that
  // field.  "t" is "dbx".
  bool analyze(Reader& reader, File& file) override;
};
