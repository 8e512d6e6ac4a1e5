// Fuzzes the naming of recovered files (FileName, FileRecoverer's
// destinationPath and namedPath from the "t" and "fn" attributes that come
// from the medium), the XML escaping of DfxmlReport, and FileReader over
// a medium with bad ranges.

#include <glib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "recover/DfxmlReport.h"
#include "recover/FileName.h"
#include "recover/FileReader.h"
#include "recover/FileRecoverer.h"
#include "tests/support/MemoryReader.h"

namespace {

#define require(condition) requireAt((condition), __LINE__)
void requireAt(bool condition, int line) {
  if (condition) return;
  fprintf(stderr, "fuzz_recover_names: check failed at line %d\n", line);
  abort();
}

void checkComponent(const std::string& name) {
  require(!name.empty() && name != "." && name != "..");
  require(name.find('/') == std::string::npos);
  require(name.find('\0') == std::string::npos);
  require(name.size() <= 255);
}

class Sink : public FileReader {
 public:
  bool consume(const void*, uint64_t size) override {
    total += size;
    return true;
  }
  uint64_t total = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find('\x01');
  std::string type = input.substr(0, split);
  std::string name = split == std::string::npos ? std::string() : input.substr(split + 1);

  checkComponent(safeFileName(input));
  FileModule::File file;
  file.offset = size * 512;
  file.size = size;
  file.attributes.set("t", type);
  file.attributes.set("fn", name);
  file.attributes.setBool("fragmented", size & 1);
  FileRecoverer recoverer(nullptr, nullptr, nullptr, 0, "/out");
  recoverer.setKeepNames(true);
  std::string path = recoverer.destinationPath(file);
  require(path.compare(0, 5, "/out/") == 0);
  checkComponent(path.substr(5));
  std::string named = recoverer.namedPath(file);
  if (!file.attributes.getString("fn").empty()) {
    require(named.compare(0, 5, "/out/") == 0);
    checkComponent(named.substr(5));
  }

  std::string escaped = xmlEscape(input);
  require(g_utf8_validate(escaped.data(), static_cast<gssize>(escaped.size()), nullptr));
  require(escaped.find('<') == std::string::npos && escaped.find('>') == std::string::npos);
  require(escaped.find('\0') == std::string::npos);

  // The bytes as a medium with the first bytes' values as bad ranges.
  MemoryReader memory(data, size);
  FaultReader faults(&memory);
  for (size_t i = 0; i + 1 < size && i < 8; i += 2) faults.failRange(data[i] * 7u, data[i + 1] + 1u);
  Sink sink;
  require(sink.readFrom(faults, size));
  require(sink.total == size);
  require(sink.unreadableBytes() <= size);
  return 0;
}
