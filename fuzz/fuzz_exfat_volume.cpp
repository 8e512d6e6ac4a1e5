// A whole exFAT medium the way the scan meets it: every sector goes through
// the scanner with the exFAT family's "ExfatBootRegion" and "ExfatDirectory"
// records, so a boot region opens a volume in a file case, its directory
// tree and the directory clusters met later are decoded against a small
// "FsScanner.cfg", and every file found is read back through the file case.
// Checksums (of the boot region at 0 and of every entry set) are made to
// fit first, so that mutations of the fields behind them reach the volume:
// chains, bitmap, deleted files, directory loops.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "engine/PatternsFile.h"
#include "engine/Scanner.h"
#include "exfat/ExfatBootRegion.h"
#include "exfat/ExfatEntrySet.h"
#include "filesystems/FileSystems.h"
#include "shell/Config.h"
#include "tests/support/MemoryReader.h"

namespace {

const char* kFsPatterns =
    "Type: txt\n"
    "Type: jpg\nPattern: \\xFF\\xD8\\xFF\nScan File Module: jpeg\nAnalyze File Module: jpeg\n";
const char* kScanPatterns =
    "Type: ExfatBootRegion\nPattern: \\xEB\\x76\\x90\\x45XFAT\\040\\040\\040\nScan File Module: ExfatBootRegion\n"
    "Analyze File Module: ExfatBootRegion\nMax Size: 6144\n"
    "Type: ExfatDirectory\nPattern: \\x85\nScan File Module: ExfatDirectory\nAnalyze File Module: ExfatDirectory\n"
    "Max Size: 8192\n"
    "Type: ExfatDirectory\nPattern: \\x05\nScan File Module: ExfatDirectory\nAnalyze File Module: ExfatDirectory\n"
    "Max Size: 8192\n";

struct Setup {
  Setup() {
    char folder[] = "/tmp/mzk-fuzz-XXXXXX";
    if (!mkdtemp(folder)) abort();
    std::string path = std::string(folder) + "/FsScanner.cfg";
    FILE* f = fopen(path.c_str(), "w");
    if (!f) abort();
    fputs(kFsPatterns, f);
    fclose(f);
    config.set("Program Path", folder);
    fileCase.reset(new FileCase(config, allFileSystems()));
    loadPatternsFromText(kScanPatterns, "fuzz", *fileCase->registry(), table);
    unlink(path.c_str());
    rmdir(folder);
  }
  ConfigRecord config;
  std::unique_ptr<FileCase> fileCase;
  PatternTable table;
};

void fitChecksums(std::vector<uint8_t>& m) {
  if (m.size() >= kExfatBootRegionBytes) {
    uint32_t sum = exfatBootChecksum(m.data());
    for (size_t at = 11 * 512; at < 12 * 512; ++at) m[at] = uint8_t(sum >> (8 * (at % 4)));
  }
  for (size_t at = 0; at + kExfatEntryBytes <= m.size(); at += kExfatEntryBytes) {
    size_t bytes = exfatSetBytes(&m[at]);
    if ((m[at] | kExfatInUse) != kExfatFileEntry || bytes > m.size() - at) continue;
    uint16_t sum = exfatSetChecksum(&m[at], bytes / kExfatEntryBytes, !(m[at] & kExfatInUse));
    m[at + 2] = uint8_t(sum);
    m[at + 3] = uint8_t(sum >> 8);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup setup;
  std::vector<uint8_t> medium(data, data + size);
  fitChecksums(medium);
  FileCase& fileCase = *setup.fileCase;
  fileCase.setReader(new MemoryReader(medium.data(), medium.size()));
  Scanner scanner(fileCase.reader(), fileCase.registry());
  scanner.init(setup.table, &fileCase);
  uint64_t end = size - size % 512;
  // As the scan run does: the volumes hear where the walk is, every 4 KiB,
  // and look at the files they put off when it gets there or ends.
  for (uint64_t at = 0; at < end; at += 512) {
    if (at % 4096 == 0) fileCase.walkReaches(at + 4096);
    scanner.check(at, medium.data() + at, 512);
  }
  fileCase.walkReaches(UINT64_MAX);
  scanner.finish(end);
  uint8_t buffer[64];
  for (const std::string& key : fileCase.order()) {
    const FileModule::File* file = fileCase.findFile(key);
    Reader* reader = fileCase.readerFor(*file);
    if (!reader) continue;
    if (reader->size() != file->size) __builtin_trap();
    reader->read(0, buffer, reader->size() < sizeof buffer ? reader->size() : sizeof buffer);
    for (const ByteRun& run : fileCase.byteRunsFor(*file))
      if (!Reader::fits(run.imageOffset, run.length, size) || !Reader::fits(run.fileOffset, run.length, file->size))
        __builtin_trap();
  }
  return 0;
}
