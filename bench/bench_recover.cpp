// Speed of recovering one large file from an in-memory medium through the
// file case, the piece reader and the exclusive writer (figures only).

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "filesystems/FileSystems.h"
#include "recover/FileName.h"
#include "recover/FileRecoverer.h"
#include "shell/Config.h"
#include "tests/support/MemoryReader.h"

int main(int argc, char** argv) {
  uint64_t megabytes = argc > 1 ? strtoull(argv[1], nullptr, 10) : 256;
  std::string folder = makePrivateTempFolder();
  if (folder.empty()) return 1;
  FILE* cfg = fopen((folder + "/FsScanner.cfg").c_str(), "w");
  if (cfg) fclose(cfg);
  ConfigRecord config;
  config.set("Program Path", folder);
  FileCase fileCase(config, allFileSystems());
  std::vector<uint8_t> bytes(megabytes << 20);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
  MemoryReader* medium = new MemoryReader(std::move(bytes));
  uint64_t size = medium->Reader::size() - 512;
  fileCase.setReader(medium);

  for (bool hashing : {false, true}) {
    FileRecoverer recoverer(nullptr, nullptr, &fileCase, size, folder);
    recoverer.setHashing(hashing);
    FileModule::File file;
    file.offset = 512;
    file.size = size;
    file.attributes.set("t", "mov");
    auto start = std::chrono::steady_clock::now();
    bool ok = recoverer.recover(file);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    printf("recover %llu MB%s: %s, %.2f s, %.1f MB/s\n", static_cast<unsigned long long>(megabytes),
           hashing ? " with MD5" : "", ok ? "ok" : "FAILED", seconds, size / 1e6 / seconds);
    unlink(recoverer.lastPath().c_str());
  }
  unlink((folder + "/FsScanner.cfg").c_str());
  rmdir(folder.c_str());
  return 0;
}
