// Offers every subdirectory cluster that the scanner meets to the volumes
// of the host.  Never produces a found file itself.
#pragma once

#include "engine/FileModule.h"

class VolumeHost;

class FileModuleSubdirectory : public FileModule {
 public:
  // The host is not owned and must outlive the module.
  explicit FileModuleSubdirectory(VolumeHost* host) : host_(host) {}
  // The sector begins with the "." and ".." entries.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Offers the medium position and the cluster of the "." entry to the
  // host's volumes.  Always false.
  bool analyzeAt(uint64_t position, Reader& reader, File& file) override;

 private:
  VolumeHost* host_;
};
