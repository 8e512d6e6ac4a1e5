#include "tests/support/ExfatImage.h"

#include <algorithm>

#include "shell/Endian.h"
#include "tests/support/Tools.h"

namespace mzktest {

namespace {
uint32_t field32(const std::string& s, uint64_t at) { return le32(reinterpret_cast<const uint8_t*>(s.data()) + at); }
void setLe64(std::string& s, size_t at, uint64_t v) {
  setLe32(s, at, uint32_t(v));
  setLe32(s, at + 4, uint32_t(v >> 32));
}
uint16_t rotateAdd(uint16_t sum, uint8_t byte) { return uint16_t(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + byte); }
}  // namespace

std::string exfatEntrySet(const ExfatSetSpec& spec, uint32_t firstCluster, bool deleted) {
  size_t names = (spec.name.size() + 14) / 15;
  std::string s(32 * (2 + names), '\0');
  s[0] = char(0x85);
  s[1] = char(1 + names);
  setLe16(s, 4, spec.directory ? 0x10 : 0x20);
  for (size_t stamp : {8, 12, 16}) setLe32(s, stamp, spec.modified);
  s[21] = char(spec.modified10ms);
  s[22] = s[23] = s[24] = char(spec.utcOffset);
  s[32] = char(0xC0);
  s[33] = char(spec.contiguous ? 3 : 1);
  s[35] = char(spec.name.size());
  uint16_t hash = 0;  // over the name in capitals (ASCII is enough here)
  for (char16_t c : spec.name) {
    char16_t up = c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
    hash = rotateAdd(rotateAdd(hash, uint8_t(up)), uint8_t(up >> 8));
  }
  setLe16(s, 36, hash);
  setLe64(s, 40, std::min(spec.validLength, spec.length));
  setLe64(s, 56, spec.length);
  setLe32(s, 52, firstCluster);
  for (size_t i = 0; i < spec.name.size(); ++i) setLe16(s, 64 + 32 * (i / 15) + 2 + 2 * (i % 15), spec.name[i]);
  for (size_t e = 64; e < s.size(); e += 32) s[e] = char(0xC1);
  uint16_t sum = 0;
  for (size_t i = 0; i < s.size(); ++i) sum = i == 2 || i == 3 ? sum : rotateAdd(sum, uint8_t(s[i]));
  setLe16(s, 2, sum);
  for (size_t e = 0; deleted && e < s.size(); e += 32) s[e] = char(uint8_t(s[e]) & 0x7F);
  return s;
}

ExfatImage::ExfatImage(const std::string& path, unsigned megabytes, unsigned clusterBytes) : path_(path) {
  ok_ = haveTool("mkfs.exfat") && sh("(rm -f " + quote(path) + " && truncate -s " + std::to_string(megabytes) + "M " +
                                     quote(path) + " && mkfs.exfat -c " + std::to_string(clusterBytes) + " " + quote(path) + ")");
  if (!ok_) return;
  bytes_ = readFile(path);
  fat_ = uint64_t(field32(bytes_, 80)) * 512;
  heap_ = uint64_t(field32(bytes_, 88)) * 512;
  clusters_ = field32(bytes_, 92);
  root_ = field32(bytes_, 96);
  clusterBytes_ = uint64_t(512) << bytes_[109];
  for (uint64_t e = offsetOfCluster(root_); bytes_[e] != 0; e += 32)
    if (uint8_t(bytes_[e]) == 0x81) bitmap_ = offsetOfCluster(field32(bytes_, e + 20));
  ok_ = bitmap_ != 0;
}

void ExfatImage::save() const { writeFile(path_, bytes_); }

bool ExfatImage::inUse(uint32_t c) const { return (uint8_t(bytes_[bitmap_ + (c - 2) / 8]) >> ((c - 2) % 8)) & 1; }

void ExfatImage::mark(uint32_t c, bool used) {
  char bit = char(1 << ((c - 2) % 8)), &byte = bytes_[bitmap_ + (c - 2) / 8];
  byte = char(used ? byte | bit : byte & ~bit);
}

void ExfatImage::setFat(uint32_t cluster, uint32_t value) { setLe32(bytes_, fat_ + 4 * uint64_t(cluster), value); }

std::vector<uint32_t> ExfatImage::freeClusters(size_t n) const {
  std::vector<uint32_t> out;
  for (uint32_t c = 2; out.size() < n && c < clusters_ + 2; ++c)
    if (!inUse(c)) out.push_back(c);
  return out;
}

ExfatImage::Entry ExfatImage::add(uint32_t dir, ExfatSetSpec spec, const std::string& data,
                                  const std::vector<uint32_t>& clusters) {
  for (size_t i = 0; i < clusters.size(); ++i) {
    std::string piece = spec.directory ? std::string() : data.substr(i * clusterBytes_, clusterBytes_);
    bytes_.replace(offsetOfCluster(clusters[i]), clusterBytes_, piece + std::string(clusterBytes_ - piece.size(), '\0'));
    mark(clusters[i], true);
    if (!spec.contiguous) setFat(clusters[i], i + 1 < clusters.size() ? clusters[i + 1] : 0xFFFFFFFF);
  }
  spec.length = spec.directory ? clusterBytes_ * clusters.size() : data.size();
  Entry entry = link(dir, spec, clusters.empty() ? 0 : clusters[0]);
  entry.clusters = clusters;
  return entry;
}

ExfatImage::Entry ExfatImage::link(uint32_t dir, ExfatSetSpec spec, uint32_t cluster) {
  if (spec.directory && spec.length == 0) spec.length = clusterBytes_;
  std::string set = exfatEntrySet(spec, cluster);
  Entry entry{offsetOfCluster(dir), set.size(), {}};
  while (bytes_[entry.at] != 0) entry.at += 32;
  bytes_.replace(entry.at, set.size(), set);
  return entry;
}

void ExfatImage::erase(const Entry& entry) {
  for (size_t e = 0; e < entry.bytes; e += 32) bytes_[entry.at + e] = char(uint8_t(bytes_[entry.at + e]) & 0x7F);
  for (uint32_t c : entry.clusters) {
    mark(c, false);
    setFat(c, 0);
  }
}

}  // namespace mzktest
