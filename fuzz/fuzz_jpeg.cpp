// Fuzzes FileModuleJpeg (scan and analyze) through an in-memory reader,
// and the Scanner over the same bytes as a medium with the JPEG pattern:
// the size found must lie inside the reader.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/FileModuleRegistry.h"
#include "engine/Scanner.h"
#include "engine/modules/FileModuleJpeg.h"
#include "tests/support/MemoryReader.h"

namespace {

struct Sink : Scanner::Callback {
  explicit Sink(uint64_t mediumSize) : mediumSize(mediumSize) {}
  void found(const FileModule::File& file) override {
    if (!Reader::fits(file.offset, file.size, mediumSize)) __builtin_trap();
  }
  uint64_t mediumSize;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FileModuleRegistry registry;
  // Always a JPEG start, so the walk gets past the first three bytes.
  std::vector<uint8_t> bytes = {0xFF, 0xD8, 0xFF};
  bytes.insert(bytes.end(), data, data + size);

  FileModuleJpeg module;
  MemoryReader reader(bytes);
  FileModule::File file;
  if (bytes.size() >= 512) (void)module.scan(bytes.data(), 512);
  if (module.analyze(reader, file) && file.size > reader.Reader::size()) __builtin_trap();

  // The scanner over the bytes, with a small Max Size so windows get cut.
  MemoryReader medium(bytes);
  Scanner scanner(&medium, &registry);
  Pattern jpeg;
  const uint8_t soi[3] = {0xFF, 0xD8, 0xFF};
  jpeg.setType("jpeg");
  jpeg.setPattern(0, soi, 3);
  jpeg.setScanModule(registry.findModule("jpeg"));
  jpeg.setAnalyzeModule(registry.findModule("jpeg"));
  jpeg.setMaxSize(size % 2 ? 3000 : UINT64_MAX);
  Pattern pending;
  pending.setType("pending");
  const uint8_t tag[2] = {'P', 'D'};
  pending.setPattern(0, tag, 2);
  pending.setMaxSize(700);
  Sink sink(medium.Reader::size());
  scanner.init(PatternTable{jpeg, pending}, &sink);
  uint64_t end = medium.Reader::size() - medium.Reader::size() % 512;
  for (uint64_t pos = 0; pos < end; pos += 512) scanner.check(pos, bytes.data() + pos, 512);
  scanner.finish(end);
  return 0;
}
