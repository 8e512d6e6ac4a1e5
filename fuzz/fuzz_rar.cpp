// FileModuleRar: scan and analyze of both RAR formats; the input starts
// after "Rar!" 1A 07, so its first bytes choose the format (00, or 01 00).
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("rar", std::string("Rar!\x1A\x07", 6), data, size);
}
