// HEIF still images: HEIC photos of phones and cameras, AVIF pictures, and
// other HEIF files.  Registered as "heif", "heic" and "avif".
#pragma once

#include "engine/FileModule.h"

class FileModuleHeif : public FileModule {
 public:
  // The sector starts with an "ftyp" box naming a HEIF brand.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // The file ends after its last top-level box ("ftyp", "meta", "mdat", ...);
  // an "mdat" of unknown size ends after the last item's bytes.  Refused
  // without a picture handler and primary item, or when an item's bytes lie
  // past the end.  "t" is "avif" or "heic" by the brands, else "heif";
  // "time" from the Exif item; the smallest thumbnail of the primary item
  // as "thumbnail_*" attributes (JPEG, HEVC or AV1 coded).
  bool analyze(Reader& reader, File& file) override;
};
