// FileModuleBmp: the file and bitmap headers.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("bmp", "BM", data, size);
}
