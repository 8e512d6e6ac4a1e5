#include "engine/ByteRun.h"

#include <algorithm>

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

ByteRuns cutRuns(const ByteRuns& runs, uint64_t size) {
  ByteRuns out;
  for (const ByteRun& run : runs) {
    if (run.fileOffset >= size) break;
    appendByteRun(out, run.fileOffset, run.imageOffset, std::min(run.length, size - run.fileOffset));
  }
  return out;
}
