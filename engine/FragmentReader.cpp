#include "engine/FragmentReader.h"

#include <algorithm>

void FragmentReader::aim(const ByteRuns& runs) {
  runs_.clear();
  uint64_t fileOffset = 0;
  const uint64_t mediumSize = medium_->size();
  for (const ByteRun& run : runs) {
    if (run.imageOffset >= mediumSize || run.length == 0) break;
    uint64_t length = std::min(run.length, mediumSize - run.imageOffset);
    appendByteRun(runs_, fileOffset, run.imageOffset, length);
    fileOffset += length;
    if (length < run.length) break;
  }
  setSize(fileOffset);
}

bool FragmentReader::read(uint64_t offset, void* buffer, uint64_t size) {
  if (!fits(offset, size, Reader::size())) return false;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  // The run holding `offset`: the last one that starts at or before it.
  size_t i = std::upper_bound(runs_.begin(), runs_.end(), offset,
                              [](uint64_t at, const ByteRun& r) { return at < r.fileOffset; }) -
             runs_.begin();
  for (--i; size > 0; ++i) {
    const ByteRun& run = runs_[i];
    uint64_t inRun = offset - run.fileOffset;
    uint64_t length = std::min(size, run.length - inRun);
    if (!medium_->read(run.imageOffset + inRun, out, length)) return false;
    out += length;
    offset += length;
    size -= length;
  }
  return true;
}
