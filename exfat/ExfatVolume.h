// One exFAT volume found on the medium.
//
// The root directory and every directory below it are read when the volume
// opens; directory clusters that the sector walk meets later (a directory
// the tree no longer reaches, under a damaged root) are read then.  Every
// file with a known extension whose clusters still hold it is reported,
// like any other found file, with "fs" (the volume's index), "fn" (its
// name), "fragmented", "deleted" and, when its entry holds a valid one,
// "time" (last modification, seconds since 1970, UTC).
//
// Live files are read along their contiguous extent or their FAT chain;
// deleted ones, whose chains the table no longer keeps, along the free
// clusters from their first one, and only while the allocation bitmap says
// those clusters are free.  A deleted file of a type that has a validator
// may also be read along the free clusters passing over those in use, or
// found by a bounded search over the free clusters, when its format proves
// that reading (it is then read back along its runs through the file
// case); a file whose plain reading its format disproves is marked
// "partial".  Every file carries "rebuilt".
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <unordered_set>
#include <utility>

#include "engine/DeletedFileRebuilder.h"
#include "engine/FileModule.h"
#include "engine/PutOffFiles.h"
#include "engine/Volume.h"
#include "engine/VolumeHost.h"
#include "exfat/ExfatClusterRuns.h"
#include "exfat/ExfatEntrySet.h"
#include "exfat/ExfatGeometry.h"
#include "exfat/ExfatParameters.h"

class ExfatAllocationBitmap;
class ExfatFat;
class ExfatFileReader;
class Pattern;
struct NamedFileType;

class ExfatVolume : public Volume {
 public:
  // No directory is longer; none is read further.
  static constexpr uint64_t kDirectoryLimit = 256ull * 1024 * 1024;

  // The context's medium, patterns and receiver are not owned and must
  // outlive the volume.
  explicit ExfatVolume(const VolumeContext& context);
  ~ExfatVolume() override;

  // Validates the volume against the medium (the heap lies on it, the
  // active FAT starts as a FAT does) and finds the allocation bitmap
  // through the root directory.  Without a bitmap the volume still opens,
  // but reports no deleted file.
  bool init(const ExfatParameters& params);

  uint64_t start() const override;
  // The root and, through it, every directory below.
  void scanRoot() override;
  // Claims the offset when it lies in this volume's heap: the cluster that
  // holds it is read as a directory, unless it was read as one before.
  bool scanDirectoryAt(uint64_t offset, uint64_t cluster) override;
  // The file reader aimed at a file this volume reported, or null (also
  // when a deleted file's clusters are no longer free).
  Reader* readerFor(uint64_t offset, uint64_t size) override;
  ByteRuns byteRuns(uint64_t offset, uint64_t size) override;
  bool clusterGrid(uint64_t& origin, uint64_t& clusterBytes) const override;
  // Files whose first cluster the walk has not reached wait for it.
  void walkReaches(uint64_t position) override;
  bool holdsFiles() const override { return putOff_.holds(); }

  const ExfatParameters& parameters() const { return params_; }
  const ExfatGeometry& geometry() const { return geometry_; }
  bool hasAllocationBitmap() const { return bitmap_ != nullptr; }

 private:
  // What readerFor needs to rebuild a reported file's runs.
  struct Extent {
    uint64_t firstCluster = 0;
    bool contiguous = false;
    bool deleted = false;
    uint64_t validLength = 0;
  };
  struct PendingDirectory {
    ClusterRuns runs;
    uint64_t bytes = 0;
  };

  bool fileRuns(const Extent& extent, uint64_t size, ClusterRuns& runs);
  ClusterRuns directoryRuns(uint64_t first, bool contiguous, bool deleted, uint64_t bytes);
  void readPendingDirectories();
  void visit(const ExfatEntrySet& set);
  void reportFile(const ExfatEntrySet& set);
  bool contentFits(const ExfatEntrySet& set, const NamedFileType& named, const Pattern& pattern,
                   FileModule::File& file);
  void reportRebuilt(const ExfatEntrySet& set, const NamedFileType& named, const Pattern& pattern,
                     const DeletedFileRebuild& rebuilt, const Extent& extent);
  void describe(const ExfatEntrySet& set, const NamedFileType& named, FileModule::File& file) const;

  VolumeContext context_;
  ExfatParameters params_;
  ExfatGeometry geometry_;
  std::unique_ptr<ExfatFat> fat_;
  std::unique_ptr<ExfatAllocationBitmap> bitmap_;
  std::unique_ptr<ExfatFileReader> file_;
  // Every cluster read as a directory, so none is read twice and a tree
  // whose entries loop back ends.
  std::unordered_set<uint64_t> directoryClusters_;
  std::deque<PendingDirectory> pending_;
  PutOffFiles<ExfatEntrySet> putOff_;
  std::map<std::pair<uint64_t, uint64_t>, Extent> reported_;
  // Clusters that building (and judging) the files' runs may still cost
  // while the directories are read.  Sound entries share no clusters, so a
  // few times the volume's clusters is plenty; entries crafted to send every
  // file along the same long chain, free area or extent run out of it
  // instead of taking a time that grows with the square of the medium.
  uint64_t lookupBudget_ = 0;
  SearchBudget searchBudget_;
};
