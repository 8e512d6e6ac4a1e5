// FileModuleOrf: the TIFF walk behind the Olympus magic, and the maker-note
// preview.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("orf", "IIRO", data, size);
}
