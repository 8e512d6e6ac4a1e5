// FileModuleMp3: scan and analyze, and the scanner with an MP3 pattern.
// Seeds: a file from lame with id3v2 tags; an MPEG-1 and an MPEG-2 frame
// header (FF FB 90 64, FF F3 40 64) followed by zeros.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("mp3", "", data, size);
}
