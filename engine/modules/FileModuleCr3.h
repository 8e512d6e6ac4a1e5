// Canon raw pictures (CR3) and Cinema Raw Light movies (CRM): ISO base
// media files of the brand "crx ".  Registered as "cr3".
#pragma once

#include "engine/FileModule.h"

class FileModuleCr3 : public FileModule {
 public:
  // The sector starts with an "ftyp" box of the major brand "crx ".
  bool scan(const uint8_t* sector, uint32_t length) override;
  // The file ends after its last top-level box; it needs a "moov" and an
  // "mdat" box, all inside the reader.  "t" is "cr3" ("crm" when the
  // Canon compressor version names a movie), "raw" is true, "time" from
  // the Exif metadata box, and the JPEG thumbnail (or the larger preview
  // when there is none) as "thumbnail_*" attributes.
  bool analyze(Reader& reader, File& file) override;
};
