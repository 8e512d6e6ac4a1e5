// FileModuleLzh: scan and analyze, and the scanner with an LZH pattern.
// Seeds: archives from lha.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("lzh", std::string(), data, size);
}
