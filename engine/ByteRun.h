// Where a stretch of a found file lies on the medium.
#pragma once

#include <cstdint>
#include <vector>

struct ByteRun {
  uint64_t fileOffset = 0;
  uint64_t imageOffset = 0;
  uint64_t length = 0;
};

typedef std::vector<ByteRun> ByteRuns;

// Appends a run, merging it into the last one when both are contiguous in
// the file and on the medium.
void appendByteRun(ByteRuns& runs, uint64_t fileOffset, uint64_t imageOffset, uint64_t length);
// The runs cut to the file's first `size` bytes, runs that go on where the
// one before ends merged.
ByteRuns cutRuns(const ByteRuns& runs, uint64_t size);
