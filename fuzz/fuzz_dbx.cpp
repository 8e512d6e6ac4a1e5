// FileModuleDbx: scan and analyze; the input follows the signature and
// the class identifier, so it starts at the header field at 28.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char kHeader[] =
      "\xCF\xAD\x12\xFE\xC5\xFD\x74\x6F\x66\xE3\xD1\x11\x9A\x4E\x00\xC0\x4F\xA3\x09\xD4"
      "\x05\x00\x00\x00\x05\x00\x00\x00";
  return fuzzmodule::run("dbx", std::string(kHeader, sizeof kHeader - 1), data, size);
}
