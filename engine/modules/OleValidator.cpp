// OLE proof: the tables and chains of the compound file agree.

#include "engine/modules/OleValidator.h"

#include <cstring>
#include <vector>

#include "engine/modules/OleCompoundFile.h"
#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

const uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
const uint32_t kSector = OleCompoundFile::kSectorBytes;
const uint32_t kPerSector = kSector / 4;
const uint32_t kFatSect = 0xFFFFFFFD, kDifSect = 0xFFFFFFFC;
const uint32_t kNoStream = 0xFFFFFFFF;
const uint64_t kFatCountAt = 0x2C, kFirstDirectoryAt = 0x30, kFirstMiniFatAt = 0x3C, kMiniFatCountAt = 0x40,
               kFirstDifatAt = 0x44, kDifatCountAt = 0x48, kHeaderDifatAt = 0x4C;
const uint32_t kHeaderDifat = 109;
const uint32_t kEntryBytes = 128;
const uint8_t kEmpty = 0, kStorage = 1, kStream = 2, kRoot = 5;

uint64_t endOf(uint32_t sector) { return (uint64_t(sector) + 2) * kSector; }

FormatProof brokenAt(uint64_t at) {
  FormatProof proof;
  proof.verdict = FormatProof::kBroken;
  proof.failedAt = at;
  return proof;
}

// Which chain owns each sector; 0 for none.
class Owners {
 public:
  explicit Owners(uint32_t sectors) : owner_(sectors, 0) {}
  bool take(uint32_t sector, uint32_t chain) {
    if (sector >= owner_.size() || owner_[sector]) return false;
    owner_[sector] = chain;
    return true;
  }
  bool owned(uint32_t sector) const { return owner_[sector] != 0; }

 private:
  std::vector<uint32_t> owner_;
};

}  // namespace

constexpr uint32_t OleValidator::kMaxSectors;
constexpr uint32_t OleValidator::kMaxDirectorySectors;

FormatProof OleValidator::check(Reader& file, uint64_t, bool) {
  ByteCursor c(file);
  struct Reads {
    ByteCursor& c;
    uint64_t& total;
    ~Reads() { total += c.readsMade(); }
  } reads{c, reads_};

  uint8_t header[kSector];
  if (!c.read(0, header, sizeof header) || memcmp(header, kSignature, sizeof kSignature)) return brokenAt(0);
  OleCompoundFile ole(c);
  uint64_t size = 0;
  if (!ole.open() || !ole.size(size)) return brokenAt(kSector);
  if (size > c.size()) return brokenAt(c.size());
  const uint32_t sectors = static_cast<uint32_t>(size / kSector - 1);
  if (sectors > kMaxSectors) return FormatProof();
  Owners owners(sectors);
  uint32_t chain = 0;

  // The table's own sectors, and those of its continuation list.
  uint32_t fatCount = le32(header + kFatCountAt);
  std::vector<uint32_t> fat;
  for (uint32_t i = 0; i < fatCount && i < kHeaderDifat; ++i) fat.push_back(le32(header + kHeaderDifatAt + 4 * i));
  uint32_t difat = le32(header + kFirstDifatAt);
  ++chain;
  for (uint32_t n = 0, count = le32(header + kDifatCountAt); fat.size() < fatCount; ++n) {
    uint8_t bytes[kSector];
    uint32_t entry = 0;
    if (n >= count || !owners.take(difat, chain) || !ole.nextSector(difat, entry) || entry != kDifSect ||
        !ole.readSector(difat, bytes))
      return brokenAt(difat < sectors ? endOf(difat) : size);
    for (uint32_t i = 0; i + 1 < kPerSector && fat.size() < fatCount; ++i) fat.push_back(le32(bytes + 4 * i));
    difat = le32(bytes + 4 * (kPerSector - 1));
  }
  for (uint32_t s : fat) {
    uint32_t entry = 0;
    if (!owners.take(s, chain) || !ole.nextSector(s, entry) || entry != kFatSect)
      return brokenAt(s < sectors ? endOf(s) : size);
  }

  // A chain of exactly `count` sectors from `first`, ending there.
  auto follow = [&](uint32_t first, uint64_t count, uint64_t& failedAt) {
    ++chain;
    uint32_t s = first;
    for (uint64_t i = 0; i < count; ++i) {
      uint32_t next = 0;
      if (!owners.take(s, chain) || !ole.nextSector(s, next)) {
        failedAt = s < sectors ? endOf(s) : size;
        return false;
      }
      bool last = i + 1 == count;
      if (last != (next == OleCompoundFile::kEndOfChain)) {
        failedAt = endOf(s);
        return false;
      }
      s = next;
    }
    return true;
  };

  // The directory: its chain, as long as it goes.
  std::vector<uint8_t> directory;
  uint32_t s = le32(header + kFirstDirectoryAt);
  ++chain;
  for (uint32_t n = 0; s != OleCompoundFile::kEndOfChain; ++n) {
    uint8_t bytes[kSector];
    if (n >= kMaxDirectorySectors || !owners.take(s, chain) || !ole.readSector(s, bytes) || !ole.nextSector(s, s))
      return brokenAt(s < sectors ? endOf(s) : size);
    directory.insert(directory.end(), bytes, bytes + kSector);
  }
  const uint32_t entries = static_cast<uint32_t>(directory.size() / kEntryBytes);
  if (entries == 0 || directory[0x42] != kRoot) return brokenAt(size);
  uint64_t failedAt = 0;
  uint32_t miniFatSectors = le32(header + kMiniFatCountAt);
  if (miniFatSectors && !follow(le32(header + kFirstMiniFatAt), miniFatSectors, failedAt)) return brokenAt(failedAt);
  for (uint32_t e = 0; e < entries; ++e) {
    const uint8_t* entry = &directory[e * uint64_t(kEntryBytes)];
    uint8_t kind = entry[0x42];
    uint16_t nameBytes = le16(entry + 0x40);
    if (kind == kEmpty) continue;
    if ((kind != kStorage && kind != kStream && kind != kRoot) || nameBytes > 64 || nameBytes % 2) return brokenAt(size);
    for (uint32_t link : {le32(entry + 0x44), le32(entry + 0x48), le32(entry + 0x4C)})
      if (link != kNoStream && link >= entries) return brokenAt(size);
    uint32_t start = le32(entry + 0x74), length = le32(entry + 0x78);
    if (kind == kStorage || length == 0) continue;
    if (kind == kRoot || length >= OleCompoundFile::kMiniStreamCutoff) {
      if (!follow(start, (uint64_t(length) + kSector - 1) / kSector, failedAt)) return brokenAt(failedAt);
      if (kind == kRoot) ole.setMiniStream(start, length);
    } else {
      std::vector<uint8_t> bytes;
      if (!ole.readStream(start, length, bytes)) return brokenAt(size);
    }
  }
  // Every sector the table holds in use belongs to one of the chains.
  for (uint32_t sector = 0; sector < sectors; ++sector) {
    uint32_t entry = 0;
    if (!ole.nextSector(sector, entry)) return brokenAt(endOf(sector));
    if (entry != OleCompoundFile::kFree && !owners.owned(sector)) return brokenAt(endOf(sector));
  }
  FormatProof proof;
  proof.verdict = FormatProof::kProven;
  proof.end = size;
  return proof;
}
