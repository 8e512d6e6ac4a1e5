// FileModuleCrw: the heap-end search.  It looks only from byte 500000 on,
// so the input follows a header and zeros that end just before that, and
// the carry of each piece holds input bytes.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string prefix = std::string("II\x1a\0\0\0HEAPCCDR", 14) + std::string(499900 - 14, '\0');
  return fuzzmodule::run("crw", prefix, data, size);
}
