// The reader of one file or directory inside a FAT volume, following its
// cluster chain (or, for a deleted file, the run of free clusters after its
// first cluster).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "fat/FatParameters.h"
#include "media/Reader.h"

class ReaderFatFile : public Reader {
 public:
  explicit ReaderFatFile(Reader* medium);
  ~ReaderFatFile() override;
  bool open(uint64_t firstCluster, uint64_t size);
  bool read(uint64_t offset, void* buffer, uint64_t size) override;
  bool isFragmented() const;
  const FatParameters& parameters() const { return params_; }

 protected:
  Reader* medium_;
  FatParameters params_;
  std::vector<uint64_t> clusters_;
};
