// FileModulePng: the chunk walk.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("png", "\x89PNG\r\n\x1a\n", data, size);
}
