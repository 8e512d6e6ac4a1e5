// Offers every sector that begins with a file's entry set (in use or
// deleted, its checksum holding) to the host's volumes, which read the
// directory cluster it lies in.  Never produces a found file itself.
#pragma once

#include "engine/FileModule.h"

class VolumeHost;

class FileModuleExfatDirectory : public FileModule {
 public:
  // The host is not owned and must outlive the module.
  explicit FileModuleExfatDirectory(VolumeHost* host) : host_(host) {}
  // A file entry, a stream extension and a file-name entry of one state.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Decodes the set at 0 of the reader; when it holds, offers the medium
  // position to the host's volumes.  Always false.
  bool analyzeAt(uint64_t position, Reader& reader, File& file) override;

 private:
  VolumeHost* host_;
};
