// FileModulePlainText: runs of text, UTF-8 included.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("txt", std::string(), data, size);
}
