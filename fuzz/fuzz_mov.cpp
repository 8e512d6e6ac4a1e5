// FileModuleMov: scan and analyze, and the scanner with a MOV pattern.
// Seeds: MP4, MOV and 3GP files from ffmpeg.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("mov", "", data, size);
}
