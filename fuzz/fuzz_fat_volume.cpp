// A whole medium the way the scan meets it: every sector goes through the
// scanner with the FAT family's "BootSector" and "Subdirectory" records and
// a RIFF record, so boot sectors open volumes in a file case, their root
// and subdirectories are decoded against a small "FsScanner.cfg", and every
// file found is read back through the file case.  Also FATDirectory,
// ReaderFatFile, FatTable, FatEntry, Bitmap and BootSector on their way.

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
#include "filesystems/FileSystems.h"
#include "shell/Config.h"
#include "tests/support/MemoryReader.h"

namespace {

const char* kFsPatterns =
    "Type: txt\n"
    "Type: jpg\nPattern: \\xFF\\xD8\\xFF\n"
    "Type: avi\nPattern: RIFF\nScan File Module: RiffLocal\nAnalyze File Module: RiffLocal\n";
const char* kScanPatterns =
    "Type: BootSector\nPattern: \\x55\\xAA\nPattern Offset: 510\nScan File Module: BootSector\n"
    "Analyze File Module: BootSector\nMax Size: 512\n"
    "Type: Subdirectory\nPattern: .\\040\\040\\040\\040\\040\\040\\040\\040\\040\\040\n"
    "Scan File Module: Subdirectory\nAnalyze File Module: Subdirectory\nMax Size: 512\n"
    "Type: riff\nPattern: RIFF\nAnalyze File Module: riff\n";

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup setup;
  FileCase& fileCase = *setup.fileCase;
  fileCase.setReader(new MemoryReader(data, size));
  Scanner scanner(fileCase.reader(), fileCase.registry());
  scanner.init(setup.table, &fileCase);
  uint64_t end = size - size % 512;
  // As the scan run does: the volumes hear where the walk is, every 4 KiB,
  // and look at the files they put off when it gets there or ends.
  for (uint64_t at = 0; at < end; at += 512) {
    if (at % 4096 == 0) fileCase.walkReaches(at + 4096);
    scanner.check(at, data + at, 512);
  }
  fileCase.walkReaches(UINT64_MAX);
  scanner.finish(end);
  uint8_t buffer[64];
  for (const std::string& key : fileCase.order()) {
    const FileModule::File* file = fileCase.findFile(key);
    Reader* reader = fileCase.readerFor(*file);
    if (!reader) continue;
    if (reader->size() > file->size) __builtin_trap();
    reader->read(0, buffer, reader->size() < sizeof buffer ? reader->size() : sizeof buffer);
    fileCase.byteRunsFor(*file);
  }
  return 0;
}
