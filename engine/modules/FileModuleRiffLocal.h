// RIFF files named in a directory: only AVI and WAVE forms pass.
#pragma once

#include "engine/modules/FileModuleRiff.h"

class FileModuleRiffLocal : public FileModuleRiff {
 public:
  // "RIFF" at 0 and "AVI " or "WAVE" at 8.
  bool scan(const uint8_t* sector, uint32_t length) override;
};
