// OleValidator: the tables, the directory and every stream's chain.  Seeds:
// small Word, Excel and PowerPoint files.
#include "FuzzValidator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzvalidator::run("doc", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), data, size);
}
