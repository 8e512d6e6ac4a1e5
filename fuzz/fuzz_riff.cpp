// FileModuleRiff: scan and analyze, and the scanner with a RIFF pattern.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("riff", "RIFF", data, size);
}
