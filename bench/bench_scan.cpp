// Throughput of the scan run: a generated medium of pseudo-random sectors
// with a small JPEG every 997 sectors, scanned with the installed pattern
// files.  Prints figures only.
//
//   bench_scan [program folder] [medium size in MB]
// The program folder holds Scanner.cfg and FsScanner.cfg (default: the
// build's app folder next to this program's folder).

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "filesystems/FileSystems.h"
#include "engine/ScanRun.h"
#include "media/Reader.h"
#include "shell/Config.h"

namespace {

// Bytes made on the fly, so a medium of hundreds of MB needs no memory.
class GeneratedReader : public Reader {
 public:
  explicit GeneratedReader(uint64_t size) { setSize(size); }
  bool read(uint64_t offset, void* buffer, uint64_t size) override {
    if (!Reader::fits(offset, size, this->size())) return false;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    while (size) {
      uint64_t sector = offset / 512;
      uint8_t bytes[512];
      fill(sector, bytes);
      uint64_t in = offset % 512;
      uint64_t n = std::min<uint64_t>(512 - in, size);
      memcpy(out, bytes + in, n);
      out += n;
      offset += n;
      size -= n;
    }
    return true;
  }

 private:
  static void fill(uint64_t sector, uint8_t* bytes) {
    uint64_t x = sector * 0x9E3779B97F4A7C15ull + 1;
    for (int i = 0; i < 512; i += 8) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      memcpy(bytes + i, &x, 8);
    }
    if (sector % 997 == 5) {
      // SOI, an APP0 of 16 bytes, EOI.
      const uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0,
                              1, 1, 0, 0, 1, 0, 1, 0, 0, 0xFF, 0xD9};
      memcpy(bytes, jpeg, sizeof jpeg);
    }
  }
};

std::string defaultProgramFolder(const char* argv0) {
  std::string self = argv0;
  size_t slash = self.rfind('/');
  std::string dir = slash == std::string::npos ? "." : self.substr(0, slash);
  return dir + "/../app";
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : defaultProgramFolder(argv[0]);
  uint64_t megabytes = argc > 2 ? strtoull(argv[2], nullptr, 10) : 800;
  uint64_t size = megabytes * 1000 * 1000;

  ConfigRecord config;
  config.set("Program Path", folder);
  try {
    FileCase fileCase(config, allFileSystems());
    fileCase.setReader(new GeneratedReader(size));

    std::vector<uint8_t> buffer(Scanner::kDefaultBufferSize);
    auto t0 = std::chrono::steady_clock::now();
    for (uint64_t pos = 0; pos + buffer.size() <= size; pos += buffer.size())
      fileCase.reader()->read(pos, buffer.data(), buffer.size());
    auto t1 = std::chrono::steady_clock::now();
    ScanReport report = runScan(fileCase, config, nullptr);
    auto t2 = std::chrono::steady_clock::now();

    double generate = std::chrono::duration<double>(t1 - t0).count();
    double scan = std::chrono::duration<double>(t2 - t1).count();
    double mb = static_cast<double>(report.total) / 1e6;
    printf("medium: %.0f MB, files found: %zu\n", mb, fileCase.files().size());
    printf("generating the bytes alone: %.2f s, %.0f MB/s\n", generate, mb / generate);
    printf("scan run (generation included): %.2f s, %.0f MB/s\n", scan, mb / scan);
  } catch (const std::exception& e) {
    fprintf(stderr, "bench_scan: %s (program folder %s)\n", e.what(), folder.c_str());
    return 1;
  }
  return 0;
}
