// FileModuleMpeg: scan and analyze, and the scanner with an MPEG pattern.
// Seeds: program streams and elementary streams from ffmpeg (-f mpeg,
// -f vob, .m1v with a sequence end code appended).
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("mpeg", std::string("\0\0\1", 3), data, size);
}
