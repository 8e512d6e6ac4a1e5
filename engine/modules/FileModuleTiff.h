// TIFF files and the camera raw files built on TIFF (Nikon, Canon, Pentax,
// Sony, Kodak, Leica, Leaf, Ricoh, Samsung, Phase One) and Minolta's MRW.
// Registered as "tiff", "tif", "nef", "mrw", "mos", "cr2", "dcr", "dng",
// "kdc", "k25", "pef", "arw", "sr2" and "srf".
//
// A TIFF file has no end marker: its size is the furthest byte that any of
// its directories, tag values, strips or tiles reaches.  Camera files get
// their raw type from the make and model, "raw" = true, and the thumbnail
// attributes of their best embedded preview.
#pragma once

#include "engine/FileModule.h"

class TiffLayout;

class FileModuleTiff : public FileModule {
 public:
  // II*\0 or MM\0* (TIFF in either byte order), \0MRM or \0MRI (Minolta).
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Refuses a file whose structures point past the reader, that repeats a
  // once-only tag, or whose directories do not parse.
  bool analyze(Reader& reader, File& file) override;

  // Type, raw mark, size and preview attributes from a walked layout: the
  // part shared with the other TIFF-like raw modules.  `rawType` overrides
  // the make and model table when not null.  A named preview of the layout
  // that lies inside the file is taken before the images' best.
  static void finish(Reader& reader, TiffLayout& layout, File& file, const char* rawType = nullptr);
  // The thumbnail attributes of a JPEG preview at `offset` (inside the
  // file), with the geometry its frame header gives.
  static void setJpegThumbnail(Reader& reader, File& file, uint32_t offset, uint32_t size);

 private:
  bool analyzeMinolta(Reader& reader, const uint8_t* header, File& file);
};
