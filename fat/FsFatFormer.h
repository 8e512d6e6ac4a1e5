// The FAT volume a card held before it was formatted again with another
// cluster size.
//
// A quick format writes a new boot sector, new allocation tables and an
// empty root, and leaves the old directory clusters where they were.  Each
// such cluster names its own cluster number in its "." entry; two of them
// at known medium positions fix the old volume's data start and cluster
// size (FatFormerGeometry).  This volume has no allocation table: every file
// of its directories is read as one run from its first cluster, and
// reported only when its format's module finds exactly the entry's size and
// type there (and its validator, where the type has one, proves it whole).
// Files carry "fs" (this volume's own index), "fn", "deleted" (as the old
// directory said), "fragmented" false and "rebuilt" "contiguous".
#pragma once

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "engine/Volume.h"
#include "engine/VolumeHost.h"
#include "fat/FatGeometry.h"
#include "media/ReaderReader.h"

class FsFatFormer : public Volume {
 public:
  // The context's medium, patterns and receiver are not owned and must
  // outlive the volume.  `directories` are read when the root is scanned.
  FsFatFormer(const VolumeContext& context, uint64_t dataStart, uint64_t clusterBytes,
              std::vector<UnclaimedDirectory> directories);
  // The geometry lies on the medium.
  bool init();

  uint64_t start() const override { return dataStart_; }
  // The directories the volume was proven from.
  void scanRoot() override;
  // Claims a directory cluster at the place this geometry gives it.
  bool scanDirectoryAt(uint64_t offset, uint64_t cluster) override;
  // A window over the medium for a file this volume reported.
  Reader* readerFor(uint64_t offset, uint64_t size) override;
  ByteRuns byteRuns(uint64_t offset, uint64_t size) override;
  bool clusterGrid(uint64_t& origin, uint64_t& clusterBytes) const override;

  const FatGeometry& geometry() const { return geometry_; }
  // The most clusters read as one directory.
  static constexpr uint64_t kDirectoryClusters = 16;

 private:
  void scanDirectory(uint64_t offset);

  VolumeContext context_;
  uint64_t dataStart_;
  uint64_t clusterBytes_;
  std::vector<UnclaimedDirectory> initial_;
  FatGeometry geometry_;
  ReaderReader window_;
  std::unordered_set<uint64_t> scanned_;
  int latestYear_;
};

// The old geometry that two directory clusters agree on: for the newest of
// `unclaimed` and each earlier one naming another cluster, newest pair
// first, the cluster size (a power of two from 512 bytes to 64 KiB) and the
// data start (a whole sector) they give.  False when no pair gives one.
bool formerFatGeometry(const std::vector<UnclaimedDirectory>& unclaimed, uint64_t& dataStart, uint64_t& clusterBytes);

// The handler the FAT family gives the file case: opens the former volume
// that the unclaimed directories prove.
void openFormerFatVolume(VolumeHost& host, const std::vector<UnclaimedDirectory>& unclaimed);
