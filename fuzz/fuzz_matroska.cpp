// FileModuleMatroska: the EBML header, the segment walk with clusters of
// unknown size, the title and date.  Seeds: MKV and WebM from ffmpeg.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("mkv", std::string("\x1A\x45\xDF\xA3", 4), data, size);
}
