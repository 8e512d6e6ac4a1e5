// FileModuleWebp: the RIFF size and the chunk walk.  Seeds: cwebp pictures.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("webp", "RIFF", data, size);
}
