// FileModuleHeif: the box walk, the item structure of "meta" and the preview choice.
// Seeds: HEIC and AVIF pictures from heif-enc with thumbnails.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("heif", std::string("\0\0\0\x18" "ftypheic\0\0\0\0" "mif1heic", 24), data, size);
}
