// Ogg files: Vorbis and FLAC music, Opus speech and music, Theora video.
// Registered as "ogg".
#pragma once

#include "engine/FileModule.h"

class FileModuleOgg : public FileModule {
 public:
  // The sector starts with the first page of a stream: "OggS", version 0
  // and the beginning-of-stream flag.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Walks the pages, each with a correct checksum: the streams that begin
  // in the first pages, up to the page that ends the last of them.  A page
  // of another stream, a damaged page or the reader's end ends the file
  // after the last good page.  At least two pages.  "t" is "ogv" with a
  // Theora stream, "opus" for Opus, "oga" for FLAC, else "ogg"; "name"
  // from the first stream's comment header.
  bool analyze(Reader& reader, File& file) override;
};
