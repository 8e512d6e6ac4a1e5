// FileModuleOgg: the page walk with checksums and the comment packet.
// Seeds: Vorbis and Opus files from ffmpeg.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("ogg", std::string("OggS\0\x02", 6), data, size);
}
