#include "engine/modules/FileModuleRiffLocal.h"

#include <cstring>

bool FileModuleRiffLocal::scan(const uint8_t* sector, uint32_t length) {
  return length >= 12 && memcmp(sector, "RIFF", 4) == 0 &&
         (memcmp(sector + 8, "AVI ", 4) == 0 || memcmp(sector + 8, "WAVE", 4) == 0);
}
