// FileModuleGif: the block walk.  Seeds: convert rose: seed.gif.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("gif", "GIF89a", data, size);
}
