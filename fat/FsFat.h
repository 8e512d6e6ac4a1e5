// One FAT volume found on the medium.  It is itself the reader of the
// volume's files (a ReaderFatFile re-aimed at each file in turn): the root
// directory and each subdirectory met by the scan are decoded, and every
// file with a known extension whose clusters still hold it is reported to
// the file case.
#pragma once

#include <cstdint>

#include "engine/Pattern.h"
#include "fat/FatParameters.h"
#include "fat/ReaderFatFile.h"

class FileCase;

// Medium byte position of `cluster` (2 .. dataClusters + 1), or -1.
int64_t offsetOfCluster(const FatParameters& params, uint64_t cluster);
// The cluster that starts exactly at `offset` on the medium, or -1.
int64_t clusterOfOffset(const FatParameters& params, uint64_t offset);

class FsFat : public ReaderFatFile {
 public:
  // Camera raw files that some cameras store with the extension "jpg".
  static bool isCameraRawSize(uint64_t size);

  // None of the pointers is owned; the pattern map is the file case's map
  // of "FsScanner.cfg" (Type -> Pattern).
  FsFat(Reader* medium, const PatternMap* patterns, int32_t index, FileCase* fileCase);
  // Validates the volume against the medium, picks the FAT copy that looks
  // like a FAT (the first, else the second) and prepares the chain reader.
  bool init(const FatParameters& params);
  void scanRoot();
  // Does nothing when `offset` is not the position of `cluster` in this volume.
  void scanSubdirectory(uint64_t offset, uint64_t cluster);
  // This object aimed at the file whose first cluster lies at `offset`, with
  // size() cut to `size` when the chain holds that much, or null.  A file of
  // size 0 gets an empty reader whatever its offset.  Valid until the next
  // call on this object.
  Reader* readerFor(uint64_t offset, uint64_t size);
  int32_t index() const { return index_; }

 private:
  void scanDirectory(Reader& directory, bool isSubdirectory);

  const PatternMap* patterns_;
  int32_t index_;
  FileCase* fileCase_;
};
