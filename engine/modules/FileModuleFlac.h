// FLAC audio files.  Registered as "flac".
#pragma once

#include "engine/FileModule.h"

class FileModuleFlac : public FileModule {
 public:
  // The sector starts with "fLaC" and a stream information block, or with
  // an ID3 tag (followed by them when the sector holds the tag's end).
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Walks the metadata blocks (after an ID3 tag, which belongs to the
  // file), then the frames: each frame ends where the next frame header
  // (checksum right, numbered in sequence) starts and its own checksum
  // holds.  The last frame (by the stream's sample count, or the one no
  // header follows) is measured by its subframes.  A damaged frame ends the
  // file before it; an ID3 version 1 tag right after the last frame belongs
  // to it.  "t" is "flac", "name" the title of the comment block, else of
  // the ID3 tag.
  bool analyze(Reader& reader, File& file) override;
};
