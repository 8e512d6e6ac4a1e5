// The reader of one file or directory inside an exFAT volume: positions in
// the file become medium positions along its cluster runs.  Bytes from the
// valid data length on read as zeros, as the format asks (the clusters may
// hold anything there).  One object is re-aimed at file after file.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/ByteRun.h"
#include "exfat/ExfatClusterRuns.h"
#include "exfat/ExfatGeometry.h"
#include "media/Reader.h"

class ExfatFileReader : public Reader {
 public:
  // The medium is not owned and must outlive the reader.  Aimed at nothing:
  // size 0.
  ExfatFileReader(Reader* medium, const ExfatGeometry& geometry);

  // Aims at a file of `size` bytes whose first `validLength` bytes are
  // stored along `runs` (clusters of this volume, as built by the caller).
  // size() is `size`, cut to what the runs hold.
  void aim(const ClusterRuns& runs, uint64_t size, uint64_t validLength);
  // Reads inside size() only.
  bool read(uint64_t offset, void* buffer, uint64_t size) override;

  const ClusterRuns& runs() const { return runs_; }
  // More than one run: the file is not stored in one piece.
  bool isFragmented() const { return runs_.size() > 1; }
  // Where the stored bytes (up to the valid data length) lie on the medium.
  ByteRuns byteRuns() const;

 private:
  Reader* medium_;
  ExfatGeometry geometry_;
  ClusterRuns runs_;
  std::vector<uint64_t> runStarts_;  // file offset of each run
  uint64_t validLength_ = 0;
};
