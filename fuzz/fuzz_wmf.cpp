// FileModuleWmf: the placeable and metafile headers.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("wmf", std::string("\xD7\xCD\xC6\x9A\0\0", 6), data, size);
}
