// Matroska and WebM files (MKV, MKA, WebM): an EBML header and one
// segment.  Registered as "mkv" and "webm".
#pragma once

#include "engine/FileModule.h"

class FileModuleMatroska : public FileModule {
 public:
  // The sector starts with the EBML header's ID 1A 45 DF A3.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // The EBML header names the document type "matroska" or "webm".  The file
  // ends with its segment when the segment's size is known and inside the
  // reader; otherwise (a live recording, or a file cut short) after the
  // last whole top-level element, a cluster of unknown size ending where
  // an element that cannot be its child starts.  "t" is "webm", "mka" (no
  // video track) or "mkv"; "name" from the segment title, "time" from its
  // date.
  bool analyze(Reader& reader, File& file) override;
};
