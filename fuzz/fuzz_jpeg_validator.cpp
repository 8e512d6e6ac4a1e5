// JpegValidator: the marker segments and Huffman-coded scans, resumed and
// searched.  Seeds: real baseline, progressive and restart-marker JPEGs.
#include "FuzzValidator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzvalidator::run("jpeg", std::string("\xFF\xD8", 2), data, size);
}
