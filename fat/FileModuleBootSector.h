// Opens a FAT volume at every boot sector that the scanner meets.  Never
// produces a found file itself.
#pragma once

#include "engine/FileModule.h"

class VolumeHost;

class FileModuleBootSector : public FileModule {
 public:
  // The host is not owned and must outlive the module.
  explicit FileModuleBootSector(VolumeHost* host) : host_(host) {}
  // Bytes 510-511 are 0x55 0xAA.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Parses the sector at 0 of the reader; when it is a FAT boot sector at a
  // sector boundary of the medium, opens its volume through the host.  A
  // FAT32 boot sector that opens no volume where it lies is tried as the
  // backup copy of one (its backup-sector field sectors earlier), unless a
  // volume starts there already.  Always false.
  bool analyzeAt(uint64_t position, Reader& reader, File& file) override;

 private:
  bool open(const struct FatParameters& params);

  VolumeHost* host_;
};
