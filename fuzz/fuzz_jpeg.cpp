// FileModuleJpeg: scan and analyze, and the scanner with a JPEG pattern.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Always a JPEG start, so the walk gets past the first three bytes.
  return fuzzmodule::run("jpeg", std::string("\xFF\xD8\xFF", 3), data, size);
}
