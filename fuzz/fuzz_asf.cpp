// FileModuleAsf: scan and analyze, and the scanner with an ASF pattern.
// Seeds: WMA and WMV files from ffmpeg with a title.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The header object's GUID, so the walk gets past the signature.
  return fuzzmodule::run("asf", std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16),
                         data, size);
}
