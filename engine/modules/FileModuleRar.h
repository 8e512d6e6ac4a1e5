// RAR archives, both the format of RAR 1.5 to 4 (signature "Rar!" 1A 07 00)
// and that of RAR 5 (signature "Rar!" 1A 07 01 00).  Registered as "rar".
#pragma once

#include "engine/FileModule.h"

class FileModuleRar : public FileModule {
 public:
  // Either signature at the sector start.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Walks the blocks after the archive header: file and sub-blocks (RAR 5:
  // file and service headers) with their data, up to and including the
  // end-of-archive block.  Without that block the archive ends before the
  // first block that is not one of these, or that does not fit inside the
  // reader, so a cut archive comes back as its whole blocks.  The archive
  // header itself must be there.  "t" is "rar".
  bool analyze(Reader& reader, File& file) override;

  // Blocks walked at most.
  static constexpr uint32_t kMaxBlocks = 1u << 22;
};
