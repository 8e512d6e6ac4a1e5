// ZipValidator: the record walk, the directory against the local headers
// and the entries inflated.  Seeds: stored, deflated and streamed archives.
#include "FuzzValidator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzvalidator::run("zip", std::string("PK\x03\x04", 4), data, size);
}
