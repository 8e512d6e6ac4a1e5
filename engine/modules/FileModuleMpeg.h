// MPEG-1 and MPEG-2 program streams and video elementary streams.
// Registered as "mpeg", "mpg", "m1v" and "m2v"; every file is typed "mpeg".
#pragma once

#include "engine/FileModule.h"

class FileModuleMpeg : public FileModule {
 public:
  // The sector starts with a sequence header (00 00 01 B3) or a pack header
  // (00 00 01 BA).
  bool scan(const uint8_t* sector, uint32_t length) override;
  // A program stream is walked pack by pack and packet by packet, by their
  // own lengths: it ends after the program end code, or after the last whole
  // packet before anything that is not a pack or packet (most writers leave
  // the end code out).  An elementary stream ends after its first sequence
  // end code (00 00 01 B7); one that meets a system start code first, goes
  // a MiB without a start code, or reaches the reader's end, is refused.
  bool analyze(Reader& reader, File& file) override;
};
