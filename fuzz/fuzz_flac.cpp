// FileModuleFlac: metadata blocks, frame headers, the checksum search and
// the subframe walk of the last frame.  Seeds: FLAC files from ffmpeg.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("flac", std::string("fLaC\0\0\0\x22", 8), data, size);
}
