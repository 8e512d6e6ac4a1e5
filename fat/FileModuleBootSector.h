// Hands every boot sector that the scanner meets to the file case, which
// opens its FAT volume.  Never produces a found file itself.
#pragma once

#include "engine/FileModule.h"

class FileCase;

class FileModuleBootSector : public FileModule {
 public:
  explicit FileModuleBootSector(FileCase* fileCase) : fileCase_(fileCase) {}
  // Bytes 510-511 are 0x55 0xAA.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Parses the sector at 0 of the reader; when it is a FAT boot sector at a
  // sector boundary of the medium (the reader is the scanner's window),
  // calls addFileSystem.  A FAT32 boot sector that opens no volume where it
  // lies is tried as the backup copy of one (its backup-sector field sectors
  // earlier), unless a volume starts there already.  Always false.
  bool analyze(Reader& reader, File& file) override;

 private:
  FileCase* fileCase_;
};
