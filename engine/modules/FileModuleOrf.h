// Olympus raw files (ORF): TIFF with a magic of its own ("IIRO", "IIRS" or
// "MMOR").  The file ends where its furthest directory, tag value or strip
// does; the preview is the one that the Olympus maker note names (camera
// settings, tags 0x101 and 0x102), else the best image of the file.
// Registered as "orf".
#pragma once

#include "engine/FileModule.h"

class TiffLayout;

class FileModuleOrf : public FileModule {
 public:
  bool scan(const uint8_t* sector, uint32_t length) override;
  // "t" = "orf", "raw" = true; refused like a TIFF file that does not parse.
  bool analyze(Reader& reader, File& file) override;

 private:
  // The preview named in the maker note, into layout.namedPreview.
  void findMakerPreview(Reader& reader, bool big, TiffLayout& layout);
};
