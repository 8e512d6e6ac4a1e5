// FileModuleZip: scan and analyze, and the scanner with a ZIP pattern.
// Seeds: archives from zip (stored, deflated, streamed with "zip -"), an
// office document.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("zip", std::string("PK\x03\x04", 4), data, size);
}
