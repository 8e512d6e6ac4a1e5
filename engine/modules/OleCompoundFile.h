// The sectors and streams of one OLE compound file (the container of Word,
// Excel, PowerPoint and installer files), read through a byte cursor.
//
// Only 512-byte sectors are handled.  Sector n lies at (n + 1) * 512; the
// FAT sectors are listed in the header and the DIFAT chain; streams below
// 4096 bytes live in the mini stream (64-byte mini sectors, chained by the
// mini FAT).  Every chain walk is bounded by the length it must deliver,
// every table by explicit limits, so a hostile file cannot loop or make
// the reader allocate more than a few megabytes.
#pragma once

#include <cstdint>
#include <vector>

class ByteCursor;

class OleCompoundFile {
 public:
  static constexpr uint32_t kSectorBytes = 512;
  static constexpr uint32_t kMiniSectorBytes = 64;
  static constexpr uint32_t kMiniStreamCutoff = 4096;
  static constexpr uint32_t kMaxFatSectors = 1600;
  static constexpr uint32_t kMaxMiniStreamSectors = 16384;
  // Mini-FAT sectors loaded at most: enough for every mini sector of the
  // largest mini stream taken (16384 sectors of 8 mini sectors each).
  static constexpr uint32_t kMaxMiniFatSectors = 1024;
  static constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
  static constexpr uint32_t kFree = 0xFFFFFFFF;
  // Sector numbers from here up are markers, not sectors.
  static constexpr uint32_t kFirstMarker = 0xFFFFFFFC;

  // The cursor is not owned and must outlive this object.
  explicit OleCompoundFile(ByteCursor& cursor) : cursor_(cursor) {}

  // Reads the header (512-byte sectors only) and collects the FAT sectors
  // (1 to kMaxFatSectors) from it and the DIFAT chain.
  bool open();
  // The file's size: up to the end of the highest sector whose FAT entry is
  // not free.  False when no sector is in use.
  bool size(uint64_t& bytes);
  uint32_t firstDirectorySector() const { return firstDirectory_; }

  // The FAT entry of `sector`.
  bool nextSector(uint32_t sector, uint32_t& next);
  bool readSector(uint32_t sector, uint8_t* out);
  // The mini stream's place, from the root entry of the directory.
  void setMiniStream(uint32_t firstSector, uint32_t size);
  // A stream of `size` bytes from `firstSector` (a mini sector when the
  // size is below kMiniStreamCutoff).  False when a chain ends early,
  // leaves the tables or a read fails.
  bool readStream(uint32_t firstSector, uint32_t size, std::vector<uint8_t>& out);

 private:
  static bool isSector(uint32_t sector) { return sector < kFirstMarker; }
  bool readMini(uint32_t firstMini, uint32_t size, std::vector<uint8_t>& out);
  bool loadMiniTables();

  ByteCursor& cursor_;
  std::vector<uint32_t> fatSectors_;
  uint32_t firstDirectory_ = kEndOfChain;
  uint32_t firstMiniFat_ = kEndOfChain;
  uint32_t miniFatSectors_ = 0;
  // The FAT sector read last, kept for the next lookup.
  uint32_t cachedIndex_ = UINT32_MAX;
  std::vector<uint32_t> cached_;
  // Mini stream: the root entry's chain, and the mini FAT; loaded on first
  // use.
  uint32_t miniStart_ = kEndOfChain;
  uint32_t miniSize_ = 0;
  bool miniLoaded_ = false;
  std::vector<uint32_t> miniStream_;
  std::vector<uint32_t> miniFat_;
};
