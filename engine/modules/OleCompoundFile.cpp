// OLE compound files: FAT, DIFAT, mini FAT and stream chains.

#include "engine/modules/OleCompoundFile.h"

#include <algorithm>

#include "media/ByteCursor.h"
#include "shell/Endian.h"

namespace {

// Header fields.
const uint64_t kSectorShiftAt = 0x1E;
const uint16_t kSectorShift = 9;
const uint64_t kFatCountAt = 0x2C;
const uint64_t kFirstDirectoryAt = 0x30;
const uint64_t kFirstMiniFatAt = 0x3C;
const uint64_t kMiniFatCountAt = 0x40;
const uint64_t kFirstDifatAt = 0x44;
const uint64_t kHeaderDifatAt = 0x4C;
const uint32_t kHeaderDifat = 109;
const uint32_t kEntriesPerSector = OleCompoundFile::kSectorBytes / 4;
const uint32_t kDifatPerSector = kEntriesPerSector - 1;  // the last entry chains
const uint32_t kMiniPerSector = OleCompoundFile::kSectorBytes / OleCompoundFile::kMiniSectorBytes;

uint64_t sectorOffset(uint32_t sector) { return (uint64_t(sector) + 1) * OleCompoundFile::kSectorBytes; }

uint32_t ceilDiv(uint64_t a, uint64_t b) { return static_cast<uint32_t>((a + b - 1) / b); }

}  // namespace

bool OleCompoundFile::open() {
  uint8_t header[kSectorBytes];
  if (!cursor_.read(0, header, sizeof header)) return false;
  if (le16(header + kSectorShiftAt) != kSectorShift) return false;
  uint32_t count = le32(header + kFatCountAt);
  if (count < 1 || count > kMaxFatSectors) return false;
  firstDirectory_ = le32(header + kFirstDirectoryAt);
  firstMiniFat_ = le32(header + kFirstMiniFatAt);
  miniFatSectors_ = le32(header + kMiniFatCountAt);

  fatSectors_.clear();
  for (uint32_t i = 0; i < std::min(count, kHeaderDifat); ++i) fatSectors_.push_back(le32(header + kHeaderDifatAt + 4 * i));
  uint32_t difat = le32(header + kFirstDifatAt);
  uint8_t sector[kSectorBytes];
  // At most as many DIFAT sectors as the count needs: a looping chain ends.
  while (fatSectors_.size() < count) {
    if (!isSector(difat) || !readSector(difat, sector)) return false;
    uint32_t take = std::min<uint32_t>(kDifatPerSector, count - static_cast<uint32_t>(fatSectors_.size()));
    for (uint32_t i = 0; i < take; ++i) fatSectors_.push_back(le32(sector + 4 * i));
    difat = le32(sector + 4 * kDifatPerSector);
  }
  for (uint32_t s : fatSectors_)
    if (!isSector(s)) return false;
  cachedIndex_ = UINT32_MAX;
  miniLoaded_ = false;
  return true;
}

bool OleCompoundFile::readSector(uint32_t sector, uint8_t* out) {
  return isSector(sector) && cursor_.read(sectorOffset(sector), out, kSectorBytes);
}

bool OleCompoundFile::nextSector(uint32_t sector, uint32_t& next) {
  uint32_t index = sector / kEntriesPerSector;
  if (index >= fatSectors_.size()) return false;
  if (index != cachedIndex_) {
    uint8_t bytes[kSectorBytes];
    if (!readSector(fatSectors_[index], bytes)) return false;
    cached_.resize(kEntriesPerSector);
    for (uint32_t i = 0; i < kEntriesPerSector; ++i) cached_[i] = le32(bytes + 4 * i);
    cachedIndex_ = index;
  }
  next = cached_[sector % kEntriesPerSector];
  return true;
}

bool OleCompoundFile::size(uint64_t& bytes) {
  for (uint32_t index = static_cast<uint32_t>(fatSectors_.size()); index-- > 0;) {
    for (uint32_t i = kEntriesPerSector; i-- > 0;) {
      uint32_t sector = index * kEntriesPerSector + i;
      uint32_t entry = 0;
      if (!nextSector(sector, entry)) return false;
      if (entry != kFree) {
        bytes = sectorOffset(sector) + kSectorBytes;
        return true;
      }
    }
  }
  return false;
}

void OleCompoundFile::setMiniStream(uint32_t firstSector, uint32_t size) {
  miniStart_ = firstSector;
  miniSize_ = size;
  miniLoaded_ = false;
}

bool OleCompoundFile::readStream(uint32_t firstSector, uint32_t size, std::vector<uint8_t>& out) {
  out.clear();
  if (size < kMiniStreamCutoff) return readMini(firstSector, size, out);
  uint32_t sector = firstSector;
  uint8_t bytes[kSectorBytes];
  for (uint32_t step = 0, steps = ceilDiv(size, kSectorBytes); step < steps; ++step) {
    if (!readSector(sector, bytes)) return false;
    uint32_t n = std::min<uint32_t>(kSectorBytes, size - static_cast<uint32_t>(out.size()));
    out.insert(out.end(), bytes, bytes + n);
    if (step + 1 < steps && !nextSector(sector, sector)) return false;
  }
  return true;
}

bool OleCompoundFile::loadMiniTables() {
  if (miniLoaded_) return true;
  miniStream_.clear();
  miniFat_.clear();
  // The mini stream: the root entry's chain, as far as its size reaches.
  uint32_t sectors = std::min(ceilDiv(miniSize_, kSectorBytes), kMaxMiniStreamSectors);
  uint32_t sector = miniStart_;
  for (uint32_t i = 0; i < sectors && isSector(sector); ++i) {
    miniStream_.push_back(sector);
    if (!nextSector(sector, sector)) return false;
  }
  // The mini FAT: the header counts its sectors (as the published format
  // says; the count is not one of entries).
  sector = firstMiniFat_;
  uint8_t bytes[kSectorBytes];
  for (uint32_t i = 0; i < std::min(miniFatSectors_, kMaxMiniFatSectors) && isSector(sector); ++i) {
    if (!readSector(sector, bytes)) return false;
    for (uint32_t e = 0; e < kEntriesPerSector; ++e) miniFat_.push_back(le32(bytes + 4 * e));
    if (!nextSector(sector, sector)) return false;
  }
  miniLoaded_ = true;
  return true;
}

bool OleCompoundFile::readMini(uint32_t firstMini, uint32_t size, std::vector<uint8_t>& out) {
  if (!loadMiniTables()) return false;
  uint32_t mini = firstMini;
  uint8_t bytes[kMiniSectorBytes];
  for (uint32_t step = 0, steps = ceilDiv(size, kMiniSectorBytes); step < steps; ++step) {
    if (!isSector(mini) || mini / kMiniPerSector >= miniStream_.size()) return false;
    uint64_t at = sectorOffset(miniStream_[mini / kMiniPerSector]) + (mini % kMiniPerSector) * kMiniSectorBytes;
    uint32_t n = std::min<uint32_t>(kMiniSectorBytes, size - static_cast<uint32_t>(out.size()));
    if (!cursor_.read(at, bytes, n)) return false;
    out.insert(out.end(), bytes, bytes + n);
    if (step + 1 < steps) {
      if (mini >= miniFat_.size()) return false;
      mini = miniFat_[mini];
    }
  }
  return true;
}
