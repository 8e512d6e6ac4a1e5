// MPEG-4 files that their brand marks as audio (M4A, M4B) or as 3GPP
// phone video (3GP, 3G2), told apart from other MPEG-4 and QuickTime
// files so that they keep the type a user knows.  Registered as "m4a" and
// "3gp".
#pragma once

#include "engine/FileModule.h"

class FileModuleBrandedMp4 : public FileModule {
 public:
  // The sector starts with an "ftyp" box whose major brand is one of them.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // The file ends after its last top-level box; it needs a "moov" and an
  // "mdat" box, all inside the reader.  "t" is "m4a", "m4b", "3gp" or
  // "3g2" by the major brand; "name" from the title tag (iTunes-style or
  // 3GPP), "time" from the movie header's creation time.
  bool analyze(Reader& reader, File& file) override;
};
