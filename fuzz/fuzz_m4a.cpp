// FileModuleBrandedMp4: the box walk, the title tags and the movie header.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("m4a", std::string("\0\0\0\x18" "ftypM4A \0\0\0\0" "M4A isom", 24), data, size);
}
