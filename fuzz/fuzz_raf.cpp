// FileModuleRaf: the directory of offsets after the header.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("raf", "FUJIFILMCCD-RAW ", data, size);
}
