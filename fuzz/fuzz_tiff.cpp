// FileModuleTiff: scan and analyze, and the scanner with a TIFF pattern.
// No prefix: the fuzzer finds the three headers (II*\0, MM\0*, \0MRM) by
// itself.  Seeds: any small TIFF (convert rose: -resize 8x8 seed.tif).
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("tiff", "", data, size);
}
