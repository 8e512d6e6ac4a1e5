// FileModuleRw2: the TIFF walk behind the Panasonic magic.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("rw2", std::string("IIU\0", 4), data, size);
}
