// MovValidator: the box walk, the index and the sample starts.  Seeds: small
// H.264, MPEG-4 and Motion JPEG movies, index first and last.
#include "FuzzValidator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzvalidator::run("mp4", std::string(), data, size);
}
