// The allocation-table reader of one FAT volume.
//
// Entries are read in groups that fill a 1536-byte buffer exactly (three
// sectors: 384 FAT32, 768 FAT16 or 1024 FAT12 entries).  Each FAT sector is
// read from the first or the second FAT as the FAT-copy map says (bit clear:
// first FAT, bit set: second), so a volume whose first FAT is damaged can be
// read through its copy.  The last kCachedGroups groups read are kept, so
// chains that come back to a part of the table do not read it again.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "fat/Bitmap.h"
#include "fat/FatEntry.h"
#include "fat/FatParameters.h"

class Reader;

class FatTable {
 public:
  static constexpr uint32_t kSectorBytes = 512;
  static constexpr uint32_t kGroupSectors = 3;
  static constexpr uint32_t kGroupBytes = kGroupSectors * kSectorBytes;
  // Groups kept (96 KiB; a volume is opened for every boot sector met, so
  // this stays small).
  static constexpr size_t kCachedGroups = 64;

  // The medium is not owned and must outlive the table.
  explicit FatTable(Reader* medium);

  // The number of FAT sectors the table reads (and the copy map covers):
  // those that hold the entries of clusters 0 .. dataClusters + 1, rounded up
  // to whole groups, but never more than the FAT's own length.  Sectors past
  // the last cluster's entry are never looked at, so a bogus sectors-per-FAT
  // value cannot make the map large.
  static uint64_t tableSectors(const FatParameters& params);

  // Fails for an invalid FAT type, a second FAT that does not follow the
  // first, or a copy map whose size is not tableSectors().  The map is
  // shared with the caller and must not change after this call (the last
  // group read is kept).
  bool init(const FatParameters& params, std::shared_ptr<Bitmap> copyMap);
  FatTable(const FatTable&) = delete;
  FatTable& operator=(const FatTable&) = delete;
  // The entry of `cluster` (2 .. dataClusters + 1); value is the raw entry
  // (FAT32 masked to 28 bits).
  bool getEntry(uint64_t cluster, FatEntryKind& kind, uint64_t& value);
  int fatType() const { return fatType_; }
  uint64_t sectorsRead() const { return tableSectors_; }

 private:
  // Makes current_ the group that starts at FAT sector `first`.
  bool readFatSectors(uint64_t first, uint64_t needed);
  bool readRun(uint64_t fatSector, uint64_t count, bool second, uint8_t* out);
  bool readSector(uint64_t fatSector, uint64_t count, bool second, uint8_t* out);

  struct Group {
    uint64_t first = 0;
    uint64_t lastUse = 0;
    uint8_t bytes[kGroupBytes];
  };

  Reader* medium_;
  FatParameters params_;
  int fatType_ = 0;
  uint64_t tableSectors_ = 0;
  std::shared_ptr<Bitmap> copyMap_;
  std::vector<std::unique_ptr<Group>> groups_;
  std::unordered_map<uint64_t, Group*> byFirst_;
  uint64_t uses_ = 0;
  const uint8_t* current_ = nullptr;
};
