// One FAT volume found on the medium.
//
// The root directory and each subdirectory met by the scan are decoded,
// and every file whose clusters still hold it (as its "FsScanner.cfg"
// record tests, see fileSystemPattern) is reported, like any other found
// file, with "fs" (the volume's index), "fn" (its name), "fragmented",
// "deleted" and "rebuilt".  The volume reads its files back through one
// chain reader, re-aimed at each file in turn.
//
// A deleted file of a type that has a validator is read along the free
// clusters after its first one, passing over those in use, or found by a
// bounded search over the free clusters; only a reading that its format
// proves is reported that way (and read back along its runs through the
// file case).  A file whose plain reading its format disproves is marked
// "partial".
#pragma once

#include <cstdint>
#include <memory>

#include "engine/DeletedFileRebuilder.h"
#include "engine/PutOffFiles.h"
#include "engine/Volume.h"
#include "engine/VolumeHost.h"
#include "fat/FATDirectory.h"
#include "fat/FatParameters.h"
#include "fat/ReaderFatFile.h"

class FatClusterSpace;
class Pattern;
struct NamedFileType;

class FsFat : public Volume {
 public:
  // The context's medium, patterns and receiver are not owned and must
  // outlive the volume.
  explicit FsFat(const VolumeContext& context);
  ~FsFat() override;
  // Validates the volume against the medium, picks the FAT copy that looks
  // like a FAT (the first, else the second) and prepares the chain reader.
  bool init(const FatParameters& params);

  uint64_t start() const override;
  void scanRoot() override;
  // Claims the cluster only when `offset` is where `cluster` lies in this
  // volume.
  bool scanDirectoryAt(uint64_t offset, uint64_t cluster) override;
  // The chain reader aimed at the file whose first cluster lies at
  // `offset`, with size() cut to `size` when the chain holds that much, or
  // null.  A file of size 0 gets an empty reader whatever its offset.
  Reader* readerFor(uint64_t offset, uint64_t size) override;
  ByteRuns byteRuns(uint64_t offset, uint64_t size) override;
  bool clusterGrid(uint64_t& origin, uint64_t& clusterBytes) const override;
  // Files whose first cluster the walk has not reached wait for it.
  void walkReaches(uint64_t position) override;
  bool holdsFiles() const override { return putOff_.holds(); }

  const FatParameters& parameters() const { return chain_.parameters(); }
  int32_t index() const { return context_.index; }
  // The chain reader, as the last call left it.
  const ReaderFatFile& chain() const { return chain_; }

 private:
  void scanDirectory(Reader& directory, bool isSubdirectory);
  // Reads, tests and reports the file the entry names.
  void scanEntry(const FatDirectoryEntry& entry);
  void reportRebuilt(const FatDirectoryEntry& entry, const NamedFileType& named, const Pattern& pattern,
                     const DeletedFileRebuild& rebuilt);

  VolumeContext context_;
  ReaderFatFile chain_;
  std::unique_ptr<FatClusterSpace> space_;
  SearchBudget searchBudget_;
  int latestYear_;
  PutOffFiles<FatDirectoryEntry> putOff_;
};
