// FileModuleArj: scan and analyze, and the scanner with an ARJ pattern.
// Seeds: archives from arj.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("arj", std::string("\x60\xEA", 2), data, size);
}
