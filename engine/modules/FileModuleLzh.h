// LZH (LHA) archives of header levels 0, 1 and 2.  Registered as "lzh".
#pragma once

#include "engine/FileModule.h"

class FileModuleLzh : public FileModule {
 public:
  // The sector starts with a plausible header.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Walks the headers and their data while they are plausible and inside
  // the reader; the zero byte that ends an archive is included when it
  // follows.  At least one whole entry is needed.  "t" is "lzh".
  bool analyze(Reader& reader, File& file) override;

  static constexpr uint32_t kHeaderTest = 24;  // bytes the header test reads
  static constexpr uint32_t kMaxEntries = 1u << 20;
  // The header test on kHeaderTest bytes.
  static bool plausibleHeader(const uint8_t* header);
};
