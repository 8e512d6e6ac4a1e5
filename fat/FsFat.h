// One FAT volume found on the medium.  It is itself the reader of the
// volume's files (a ReaderFatFile re-aimed at each file in turn).
#pragma once

#include <cstdint>

#include "engine/Pattern.h"
#include "fat/FatParameters.h"
#include "fat/ReaderFatFile.h"

class FileCase;

class FsFat : public ReaderFatFile {
 public:
  FsFat(Reader* medium, const PatternMap* patterns, int32_t index, FileCase* fileCase);
  bool init(const FatParameters& params);
  void scanRoot();
  // Does nothing when `offset` is not the position of `cluster` in this volume.
  void scanSubdirectory(uint64_t offset, uint64_t cluster);
  // This object aimed at the file whose first cluster lies at `offset`, or null.
  Reader* readerFor(uint64_t offset, uint64_t size);
  int32_t index() const { return index_; }

 private:
  void scanDirectory(Reader& directory, bool isSubdirectory);

  const PatternMap* patterns_;
  int32_t index_;
  FileCase* fileCase_;
};
