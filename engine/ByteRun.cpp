#include "engine/ByteRun.h"

void appendByteRun(ByteRuns& runs, uint64_t fileOffset, uint64_t imageOffset, uint64_t length) {
  if (!runs.empty()) {
    ByteRun& last = runs.back();
    if (last.imageOffset + last.length == imageOffset && last.fileOffset + last.length == fileOffset) {
      last.length += length;
      return;
    }
  }
  runs.push_back({fileOffset, imageOffset, length});
}
