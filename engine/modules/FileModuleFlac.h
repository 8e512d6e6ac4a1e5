// FLAC audio files.  Registered as "flac".
#pragma once

#include "engine/FileModule.h"

class FileModuleFlac : public FileModule {
 public:
  // The sector starts with "fLaC" and a stream information block.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Walks the metadata blocks, then the frames: each frame ends where the
  // next frame header (checksum right, numbered in sequence) starts and its
  // own checksum holds.  The last frame (by the stream's sample count, or
  // the one no header follows) is measured by its subframes.  A damaged
  // frame ends the file before it.  "t" is "flac", "name" the title of the
  // comment block.
  bool analyze(Reader& reader, File& file) override;
};
