// A file put together from stretches of the medium: positions in the file
// become medium positions along its byte runs.
#pragma once

#include <cstdint>

#include "engine/ByteRun.h"
#include "media/Reader.h"

class FragmentReader : public Reader {
 public:
  // The medium is not owned and must outlive the reader.  Size 0.
  explicit FragmentReader(Reader* medium) : medium_(medium) {}

  // Takes runs that follow each other in the file from offset 0; a run that
  // reaches past the medium is cut there and ends the file.  size() is the
  // bytes the runs hold.
  void aim(const ByteRuns& runs);
  // Reads inside size() only.
  bool read(uint64_t offset, void* buffer, uint64_t size) override;
  const ByteRuns& runs() const { return runs_; }

 private:
  Reader* medium_;
  ByteRuns runs_;
};
