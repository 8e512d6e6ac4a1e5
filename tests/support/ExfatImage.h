// exFAT images for tests: made by mkfs.exfat, then filled in memory by a
// small writer of entry sets, FAT entries and bitmap bits, so that every
// test knows where each cluster went and needs no mount.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mzktest {

struct ExfatSetSpec {
  std::u16string name;
  uint64_t length = 0;     // set by ExfatImage::add
  bool contiguous = true;  // NoFatChain; false: the FAT holds the chain
  bool directory = false;
  uint32_t modified = (44u << 25) | (7u << 21) | (1u << 16) | (9u << 11);  // 2024-07-01 09:00:00
  uint8_t modified10ms = 0;
  uint8_t utcOffset = 0;   // 0x80 | quarter hours when valid
  uint64_t validLength = UINT64_MAX;  // bytes written, when fewer than the length
};

// A file's entry set as the format lays it out, set checksum and name hash
// included; `deleted` clears the in-use bits as a driver does.
std::string exfatEntrySet(const ExfatSetSpec& spec, uint32_t firstCluster, bool deleted = false);

class ExfatImage {
 public:
  struct Entry {
    uint64_t at;  // image offset of the set
    size_t bytes;
    std::vector<uint32_t> clusters;
  };

  // `megabytes` MB at `path`, formatted with `clusterBytes` per cluster.
  ExfatImage(const std::string& path, unsigned megabytes, unsigned clusterBytes);
  bool ok() const { return ok_; }
  std::string& bytes() { return bytes_; }
  void save() const;

  uint32_t rootCluster() const { return root_; }
  uint64_t clusterBytes() const { return clusterBytes_; }
  uint64_t offsetOfCluster(uint32_t cluster) const { return heap_ + uint64_t(cluster - 2) * clusterBytes_; }
  std::vector<uint32_t> freeClusters(size_t n) const;  // the first n

  // Stores `data` in `clusters` (a directory gets zeroed ones), chains them
  // in the FAT unless contiguous, marks them in the bitmap and writes the
  // set into the directory whose cluster is `dir`.
  Entry add(uint32_t dir, ExfatSetSpec spec, const std::string& data, const std::vector<uint32_t>& clusters);
  // Only a set naming `cluster`.
  Entry link(uint32_t dir, ExfatSetSpec spec, uint32_t cluster);
  // A driver's delete: in-use bits, bitmap bits and FAT entries cleared.
  void erase(const Entry& entry);
  void setFat(uint32_t cluster, uint32_t value);

 private:
  bool inUse(uint32_t cluster) const;
  void mark(uint32_t cluster, bool used);

  std::string path_, bytes_;
  bool ok_ = false;
  uint64_t fat_ = 0, heap_ = 0, bitmap_ = 0, clusterBytes_ = 0;
  uint32_t clusters_ = 0, root_ = 0;
};

}  // namespace mzktest
