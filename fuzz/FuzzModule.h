// The shared body of the format-module fuzz targets: the module's scan and
// analyze over the input (after a fixed prefix that gets the walk past the
// signature), over a cut copy, and through the scanner with a pattern of
// the module and a module-less one, with a small and an unbounded Max Size.
// A size that does not fit the reader, or a found file outside the medium,
// traps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/FileModule.h"
#include "engine/FileModuleRegistry.h"
#include "engine/Scanner.h"
#include "tests/support/MemoryReader.h"

namespace fuzzmodule {

struct Sink : Scanner::Callback {
  explicit Sink(uint64_t mediumSize) : mediumSize(mediumSize) {}
  void found(const FileModule::File& file) override {
    if (!Reader::fits(file.offset, file.size, mediumSize)) __builtin_trap();
  }
  uint64_t mediumSize;
};

inline void analyzeWithin(FileModule& module, const std::vector<uint8_t>& bytes, uint64_t length) {
  MemoryReader reader(bytes.data(), length);
  FileModule::File file;
  if (module.analyze(reader, file) && file.size > reader.Reader::size()) __builtin_trap();
}

// `name` is the module's registry name; `prefix` the bytes put before the
// input (its signature), also used as the pattern's bytes.
inline int run(const char* name, const std::string& prefix, const uint8_t* data, size_t size) {
  static FileModuleRegistry registry;
  FileModule* module = registry.findModule(name);
  if (!module) __builtin_trap();
  std::vector<uint8_t> bytes(prefix.begin(), prefix.end());
  bytes.insert(bytes.end(), data, data + size);

  if (bytes.size() >= 512) (void)module->scan(bytes.data(), 512);
  analyzeWithin(*module, bytes, bytes.size());
  analyzeWithin(*module, bytes, bytes.size() - size / 3);

  MemoryReader medium(bytes);
  Scanner scanner(&medium, &registry);
  Pattern mine;
  mine.setType(name);
  if (!prefix.empty())
    mine.setPattern(0, reinterpret_cast<const uint8_t*>(prefix.data()),
                    static_cast<uint32_t>(prefix.size() < Pattern::kMaxLength ? prefix.size() : Pattern::kMaxLength));
  mine.setAnalyzeModule(module);
  mine.setMaxSize(size % 2 ? 3000 : UINT64_MAX);
  Pattern pending;
  pending.setType("pending");
  const uint8_t tag[2] = {'P', 'D'};
  pending.setPattern(0, tag, 2);
  pending.setMaxSize(700);
  Sink sink(medium.Reader::size());
  scanner.init(PatternTable{mine, pending}, &sink);
  uint64_t end = medium.Reader::size() - medium.Reader::size() % 512;
  for (uint64_t pos = 0; pos < end; pos += 512) scanner.check(pos, bytes.data() + pos, 512);
  scanner.finish(end);
  return 0;
}

}  // namespace fuzzmodule
