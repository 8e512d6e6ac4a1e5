// Fuzzes a whole FAT volume the way the scan meets it, without a file case:
// the input is the medium; every sector goes through the "BootSector" and
// "Subdirectory" modules' scan and analyze (FileModuleBootSector,
// FileModuleSubdirectory, registered by FileSystemModules), every boot
// sector that parses opens an FsFat whose root and subdirectories are
// scanned against a small pattern map, found offsets are read back through
// FsFat::readerFor, and RIFF candidates go through FileModuleRiffLocal and
// FileModuleRiff.  Also FATDirectory, ReaderFatFile, FatTable, FatEntry,
// Bitmap and BootSector on their way.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/FileModuleRegistry.h"
#include "engine/PatternsFile.h"
#include "fat/BootSector.h"
#include "fat/FATDirectory.h"
#include "engine/modules/FileModuleRiffLocal.h"
#include "fat/FileSystemModules.h"
#include "fat/FsFat.h"
#include "media/ReaderReader.h"
#include "tests/support/MemoryReader.h"

namespace {

const char* kPatterns =
    "Type: txt\n"
    "Type: jpg\nPattern: \\xFF\\xD8\\xFF\n"
    "Type: avi\nPattern: RIFF\nScan File Module: RiffLocal\nAnalyze File Module: RiffLocal\n";

struct Setup {
  Setup() {
    registerFileSystemModules(registry, nullptr);
    PatternTable table;
    loadPatternsFromText(kPatterns, "fuzz", registry, table);
    for (const Pattern& pattern : table) patterns[pattern.type()] = pattern;
  }
  FileModuleRegistry registry;
  PatternMap patterns;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup setup;
  MemoryReader medium(data, size);
  FileModule* boot = setup.registry.findModule("BootSector");
  FileModule* subdirectory = setup.registry.findModule("Subdirectory");
  FileModule* riff = setup.registry.findModule("RiffLocal");
  std::vector<std::unique_ptr<FsFat>> volumes;
  ReaderReader window(&medium);
  for (uint64_t at = 0; at + 512 <= size; at += 512) {
    const uint8_t* sector = data + at;
    FileModule::File file;
    if (!window.setWindow(at, size - at)) break;
    if (boot->scan(sector, 512)) {
      boot->analyze(window, file);  // without a file case it only parses
      FatParameters p;
      if (volumes.size() < 4 && parseBootSector(sector, 512, p)) {
        p.lba = at / 512;
        std::unique_ptr<FsFat> fs(new FsFat(&medium, &setup.patterns, int32_t(volumes.size()), nullptr));
        if (fs->init(p)) {
          fs->scanRoot();
          volumes.push_back(std::move(fs));
        }
      }
    }
    if (subdirectory->scan(sector, 512)) {
      subdirectory->analyze(window, file);
      uint64_t cluster = 0;
      if (isDirectoryStart(sector, cluster))
        for (auto& fs : volumes) fs->scanSubdirectory(at, cluster);
    }
    if (riff->scan(sector, 512)) riff->analyze(window, file);
    for (auto& fs : volumes) {
      Reader* r = fs->readerFor(at, 1 + (at % 5000));
      uint8_t buf[64];
      if (r) r->read(0, buf, sizeof buf);
    }
  }
  return 0;
}
