// FileModuleCr3: the box walk and the Canon boxes (compressor version,
// Exif dates, thumbnail and preview).  Seeds: CR3 files built from the box layout.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("cr3", std::string("\0\0\0\x18" "ftypcrx \0\0\0\x01" "crx isom", 24), data, size);
}
