#include "fat/FatTable.h"

#include <algorithm>
#include <cstring>

#include "fat/BootSector.h"
#include "media/Reader.h"
#include "shell/DebugLog.h"
#include "shell/Endian.h"

namespace {
// Log tags of this file.
const LogTag kLogFatType{"FATReader", 25};
const LogTag kLogFatOrder{"FATReader", 29};
const LogTag kLogCopyMap{"FATReader", 34};
const LogTag kLogEntryFailed{"FATReader", 39};
const LogTag kLogFat32Read{"FATReader", 51};
const LogTag kLogFat16Read{"FATReader", 64};
const LogTag kLogFat12Read{"FATReader", 77};
const LogTag kLogClusterRange{"FATReader", 94};
const LogTag kLogPastTable{"FATReader", 105};
const LogTag kLogRunUnreadable{"FATReader", 127};
const LogTag kLogOtherCopy{"FATReader", 133};
}  // namespace

FatTable::FatTable(Reader* medium) : medium_(medium) {}

bool FatTable::init(const FatParameters& params, std::shared_ptr<Bitmap> copyMap) {
  int type = fatTypeOf(params.dataClusters);
  if (type == kFatInvalid) {
    dlog() << kLogFatType << ": " << type << "\n";
    return false;
  }
  if (params.fatLba[1] <= params.fatLba[0]) {
    dlog() << kLogFatOrder << ": " << params.fatLba[0] << " " << params.fatLba[1] << "\n";
    return false;
  }
  uint64_t sectors = tableSectors(params);
  if (!copyMap || copyMap->size() != sectors) {
    dlog() << kLogCopyMap << ": copy map " << (copyMap ? copyMap->size() : 0) << " " << sectors << "\n";
    return false;
  }
  params_ = params;
  fatType_ = type;
  tableSectors_ = sectors;
  copyMap_ = std::move(copyMap);
  groups_.clear();
  byFirst_.clear();
  current_ = nullptr;
  return true;
}

uint64_t FatTable::tableSectors(const FatParameters& params) {
  if (params.fatLba[1] <= params.fatLba[0]) return 0;
  uint64_t fatSectors = uint64_t(params.fatLba[1]) - params.fatLba[0];
  uint64_t entries = uint64_t(params.dataClusters) + 2;
  uint64_t bytes = 0;
  switch (fatTypeOf(params.dataClusters)) {
    case kFat32: bytes = entries * 4; break;
    case kFat16: bytes = entries * 2; break;
    case kFat12: bytes = (entries * 3 + 1) / 2; break;
    default: return 0;
  }
  uint64_t used = (bytes + kSectorBytes - 1) / kSectorBytes;
  used = (used + kGroupSectors - 1) / kGroupSectors * kGroupSectors;
  return std::min(fatSectors, used);
}

bool FatTable::getEntry(uint64_t cluster, FatEntryKind& kind, uint64_t& value) {
  if (fatType_ == kFatInvalid || cluster < 2 || cluster > uint64_t(params_.dataClusters) + 1) {
    dlog() << kLogClusterRange << ": " << cluster << "\n";
    dlog() << kLogEntryFailed << ": " << cluster << "\n";
    return false;
  }
  uint64_t perGroup = 0, byteInGroup = 0, entryBytes = 2;
  const LogTag* failed = &kLogFat12Read;
  switch (fatType_) {
    case kFat32:
      perGroup = 384, byteInGroup = (cluster % 384) * 4, entryBytes = 4, failed = &kLogFat32Read;
      break;
    case kFat16:
      perGroup = 768, byteInGroup = (cluster % 768) * 2, failed = &kLogFat16Read;
      break;
    default:
      perGroup = 1024, byteInGroup = (cluster % 1024) * 3 / 2, failed = &kLogFat12Read;
      break;
  }
  uint64_t first = (cluster / perGroup) * kGroupSectors;
  uint64_t needed = (byteInGroup + entryBytes - 1) / kSectorBytes + 1;
  if (!readFatSectors(first, needed)) {
    dlog() << *failed << ": " << first << " " << needed << "\n";
    return false;
  }
  const uint8_t* p = current_ + byteInGroup;
  uint32_t raw = 0;
  switch (fatType_) {
    case kFat32: raw = le32(p) & 0x0FFFFFFFu; break;
    case kFat16: raw = le16(p); break;
    default:
      raw = (cluster & 1) ? (p[0] >> 4) + p[1] * 16u : p[0] + (p[1] & 0x0Fu) * 256u;
      break;
  }
  value = raw;
  kind = classifyFatEntry(fatType_, raw);
  return true;
}

bool FatTable::readSector(uint64_t fatSector, uint64_t count, bool second, uint8_t* out) {
  uint64_t sector = params_.lba + params_.fatLba[second ? 1 : 0] + fatSector;
  if (sector > UINT64_MAX / kSectorBytes - count) return false;
  return medium_->read(sector * kSectorBytes, out, count * kSectorBytes);
}

bool FatTable::readRun(uint64_t fatSector, uint64_t count, bool second, uint8_t* out) {
  if (readSector(fatSector, count, second, out)) return true;
  uint64_t offset = (params_.lba + params_.fatLba[second ? 1 : 0] + fatSector) * kSectorBytes;
  dlog() << kLogRunUnreadable << ": " << offset << " " << count * kSectorBytes << "\n";
  // One bad sector costs one sector: the run is read sector by sector, and
  // a sector that cannot be read in this copy is read in the other one.
  for (uint64_t i = 0; i < count; ++i) {
    uint8_t* at = out + i * kSectorBytes;
    if (readSector(fatSector + i, 1, second, at)) continue;
    if (readSector(fatSector + i, 1, !second, at)) {
      dlog() << kLogOtherCopy << ": " << fatSector + i << "\n";
      continue;
    }
    return false;
  }
  return true;
}

bool FatTable::readFatSectors(uint64_t first, uint64_t needed) {
  if (!Reader::fits(first, needed, tableSectors_)) {
    dlog() << kLogPastTable << ": " << first << " " << needed << " " << tableSectors_ << "\n";
    return false;
  }
  uint64_t count = std::min<uint64_t>(kGroupSectors, tableSectors_ - first);
  auto held = byFirst_.find(first);
  if (held != byFirst_.end()) {
    held->second->lastUse = ++uses_;
    current_ = held->second->bytes;
    return true;
  }
  // A new group, or the place of the one used longest ago.
  Group* group;
  if (groups_.size() < kCachedGroups) {
    groups_.emplace_back(new Group);
    group = groups_.back().get();
  } else {
    group = groups_.front().get();
    for (const auto& g : groups_)
      if (g->lastUse < group->lastUse) group = g.get();
    byFirst_.erase(group->first);
  }
  current_ = nullptr;
  // Runs of sectors that come from the same FAT copy are read in one go.
  uint64_t done = 0;
  while (done < count) {
    bool second = copyMap_->get(first + done);
    uint64_t run = 1;
    while (done + run < count && copyMap_->get(first + done + run) == second) ++run;
    if (!readRun(first + done, run, second, group->bytes + done * kSectorBytes)) {
      group->lastUse = 0;  // its place is taken first
      group->first = UINT64_MAX;
      return false;
    }
    done += run;
  }
  memset(group->bytes + count * kSectorBytes, 0, kGroupBytes - count * kSectorBytes);
  group->first = first;
  group->lastUse = ++uses_;
  byFirst_[first] = group;
  current_ = group->bytes;
  return true;
}
