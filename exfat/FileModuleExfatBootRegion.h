// Opens an exFAT volume at every boot region that the scanner meets.  Never
// produces a found file itself.
#pragma once

#include "engine/FileModule.h"

class VolumeHost;
struct ExfatParameters;

class FileModuleExfatBootRegion : public FileModule {
 public:
  // The host is not owned and must outlive the module.
  explicit FileModuleExfatBootRegion(VolumeHost* host) : host_(host) {}
  // The jump instruction, "EXFAT   " and the boot signature.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Reads the twelve sectors of the region at 0 of the reader; when its
  // checksum holds and it lies at a sector boundary, opens its volume
  // through the host.  A region that opens no volume where it lies is
  // tried as the backup region, twelve sectors after the volume's start,
  // which brings back a volume whose main region is damaged; the backup of
  // a volume already open is passed over.  Always false.
  bool analyzeAt(uint64_t position, Reader& reader, File& file) override;

 private:
  bool open(const ExfatParameters& params);

  VolumeHost* host_;
};
