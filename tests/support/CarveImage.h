// Carve images for the format tests: files laid at sector boundaries with
// noise between them, scanned with the program's own pattern files, as a
// formatted card would be.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/FileModule.h"

namespace mzktest {

class CarveImage {
 public:
  struct Placed {
    std::string name;
    uint64_t offset;
    std::string bytes;
  };
  // Appends `gapSectors` sectors of noise, then `bytes` at the sector
  // boundary that follows; returns its offset.
  uint64_t add(const std::string& name, const std::string& bytes, unsigned gapSectors = 1);
  // Noise up to the next sector boundary and `sectors` more.
  void pad(unsigned sectors);
  const std::string& bytes() const { return image_; }
  const std::vector<Placed>& files() const { return files_; }

 private:
  std::string image_;
  std::vector<Placed> files_;
  uint32_t seed_ = 1;
};

// Scans `image` with the program's Scanner.cfg and FsScanner.cfg (those of
// the build's program folder) and all file systems; the files found, in
// the order they were found.
std::vector<FileModule::File> scanImage(const std::string& image);
// The found file at `offset` whose type is `type`, or null.
const FileModule::File* foundAt(const std::vector<FileModule::File>& files, uint64_t offset, const std::string& type);

}  // namespace mzktest
