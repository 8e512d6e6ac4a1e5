// Hands every subdirectory cluster that the scanner meets to the FAT
// volumes of the file case.  Never produces a found file itself.
#pragma once

#include "engine/FileModule.h"

class FileCase;

class FileModuleSubdirectory : public FileModule {
 public:
  explicit FileModuleSubdirectory(FileCase* fileCase) : fileCase_(fileCase) {}
  // The sector begins with the "." and ".." entries.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Calls forEachFileSystem with the reader's medium position (the reader is
  // the scanner's window) and the cluster of the "." entry.  Always false.
  bool analyze(Reader& reader, File& file) override;

 private:
  FileCase* fileCase_;
};
