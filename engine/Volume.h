// A file system found on the medium, as the file case sees it.
//
// File-system families (FAT, exFAT, ...) live in their own folders and plug
// into the engine through this interface and FileSystemFamily: a module of
// the family meets the family's structures during the sector walk (a boot
// sector, a directory cluster), opens a volume through the case
// (VolumeHost::addVolume) and asks the volumes about directories it meets.
// A volume reports its files to the Scanner::Callback it was opened with,
// like any other found file, with the attribute "fs" set to its index.
#pragma once

#include <cstdint>

#include "engine/ByteRun.h"

class Reader;

class Volume {
 public:
  virtual ~Volume() {}

  // Medium byte position of the structure the volume was opened from (its
  // boot sector); two volumes at the same start are the same volume.
  virtual uint64_t start() const = 0;
  // Reports the files of the root directory.
  virtual void scanRoot() = 0;
  // A directory cluster met by the sector walk at medium position `offset`;
  // `cluster` is the cluster it names as its own, or kUnknownCluster.  False
  // (and nothing reported) when the cluster is not one of this volume's.
  static constexpr uint64_t kUnknownCluster = UINT64_MAX;
  virtual bool scanDirectoryAt(uint64_t offset, uint64_t cluster) = 0;
  // A reader over a file this volume reported (its offset and size as
  // reported), owned by the volume and valid until the next call on it;
  // null when the file cannot be read.
  virtual Reader* readerFor(uint64_t offset, uint64_t size) = 0;
  // Where that file's bytes lie on the medium; empty when unknown.
  virtual ByteRuns byteRuns(uint64_t offset, uint64_t size) = 0;
  // Where the volume's clusters lie: a medium position where one starts,
  // and their size.  False when the volume has no clusters.
  virtual bool clusterGrid(uint64_t& origin, uint64_t& clusterBytes) const { return false; }

  // The sector walk is about to test the medium below `position`.  A
  // volume may put off the work on a file its directories name (reading
  // its first bytes, analysing it, proving a deleted one) until the walk
  // reaches the file, so that its bytes are read from the medium once,
  // with the walk's; what lies below `position` is done now.  UINT64_MAX
  // (the walk has ended or stopped) does everything put off.  A volume
  // that is never told works at once.
  virtual void walkReaches(uint64_t position) {}
  // Files put off and not reported yet.
  virtual bool holdsFiles() const { return false; }
};
