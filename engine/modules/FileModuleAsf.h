// ASF files (Windows Media audio and video): the header object's File
// Properties give the size and creation date, its Stream Properties the
// type, its Content Description the title.  Registered as "asf" and "wma".
#pragma once

#include "engine/FileModule.h"

class FileModuleAsf : public FileModule {
 public:
  // The sector starts with the first 12 bytes of the header object's GUID.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // "t" is "wmv" when any stream is video, else "wma" when one is audio;
  // a file without either, without a file size or whose size the reader
  // cannot hold is refused.  "name" is the title, "time" the creation date
  // in seconds since 1970 (UTC) when it is not earlier.
  bool analyze(Reader& reader, File& file) override;

  static constexpr uint64_t kMaxObjectSize = 1024000;
  // The most title bytes converted (the rest of a longer title is cut).
  static constexpr uint64_t kTitleBytes = 1024;
};
