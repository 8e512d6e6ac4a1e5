#include "tests/support/FatImage.h"

#include <cstdio>

#include "tests/support/Tools.h"

namespace mzktest {

namespace {

// A partition table with one partition of `type`.
bool writeMbr(const std::string& path, uint64_t start, uint64_t sectors, uint8_t type) {
  std::string mbr(512, '\0');
  mbr[446 + 4] = char(type);
  setLe32(mbr, 446 + 8, uint32_t(start));
  setLe32(mbr, 446 + 12, uint32_t(sectors));
  mbr[510] = 0x55;
  mbr[511] = char(0xAA);
  FILE* f = fopen(path.c_str(), "r+b");
  if (!f) return false;
  bool ok = fwrite(mbr.data(), 1, mbr.size(), f) == mbr.size();
  return fclose(f) == 0 && ok;
}

}  // namespace

FatImage::FatImage(const std::string& path, uint64_t megabytes, int fatBits, int sectorsPerCluster, uint64_t mbrAt)
    : path_(path), offset_(mbrAt * 512) {
  uint64_t sectors = megabytes * 2048 - mbrAt;
  std::string options = "-F " + std::to_string(fatBits) + " -s " + std::to_string(sectorsPerCluster) +
                        " -M 0xF8 -n CARD -i 1234ABCD";
  if (mbrAt) options += " --offset=" + std::to_string(mbrAt) + " -h " + std::to_string(mbrAt);
  ok_ = sh("truncate -s " + std::to_string(megabytes) + "M " + quote(path_)) &&
        sh("mkfs.vfat " + options + " " + quote(path_) + " " + std::to_string(sectors / 2));
  // After mkfs, which refuses a device that already has partitions.
  if (ok_ && mbrAt) ok_ = writeMbr(path_, mbrAt, sectors, fatBits == 32 ? 0x0C : 0x0E);
}

bool FatImage::mtools(const std::string& command, const std::string& arguments) const {
  return sh("MTOOLS_SKIP_CHECK=1 " + command + " -i " + quote(path_ + "@@" + std::to_string(offset_)) + " " +
            arguments);
}

bool FatImage::put(const std::string& target, const std::string& bytes, const std::string& date) {
  std::string local = path_ + ".put" + std::to_string(copies_++);
  writeFile(local, bytes);
  bool ok = sh("touch -d " + quote(date) + " " + quote(local)) && mtools("mcopy", "-m -o " + quote(local) + " " + quote(target));
  remove(local.c_str());
  return ok;
}

bool FatImage::mkdir(const std::string& target) const { return mtools("mmd", quote(target)); }
bool FatImage::del(const std::string& target) const { return mtools("mdel", quote(target)); }

}  // namespace mzktest
