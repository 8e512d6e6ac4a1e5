// FAT volumes in image files, made by mkfs.vfat and filled with mtools as
// a camera or a computer leaves a card.
#pragma once

#include <cstdint>
#include <string>

namespace mzktest {

class FatImage {
 public:
  // A new image of `megabytes` at `path` holding one volume; with `mbrAt`
  // the volume starts at that sector behind an MBR partition table, as on
  // an SD card.  ok() tells whether mkfs.vfat made it.
  FatImage(const std::string& path, uint64_t megabytes, int fatBits, int sectorsPerCluster, uint64_t mbrAt = 0);
  bool ok() const { return ok_; }
  const std::string& path() const { return path_; }
  // Bytes in front of the volume.
  uint64_t offset() const { return offset_; }

  // An mtools command on the volume: mtools("mdel", "::/A.TXT").
  bool mtools(const std::string& command, const std::string& arguments) const;
  // Copies `bytes` in as `target` ("::/DCIM/a.jpg") with that date.
  bool put(const std::string& target, const std::string& bytes, const std::string& date = "2025-06-15 10:20:30");
  bool mkdir(const std::string& target) const;
  bool del(const std::string& target) const;

 private:
  std::string path_;
  uint64_t offset_;
  bool ok_ = false;
  int copies_ = 0;
};

}  // namespace mzktest
