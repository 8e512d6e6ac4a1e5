// Fuzzes PatternsFile (loadPatternsFromText), the escape decoding of
// signatures (CString unescape) and Patterns matching: the input is a
// pattern file; every loaded pattern is then matched against a sector
// built from the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "engine/FileModuleRegistry.h"
#include "engine/PatternsFile.h"
#include "media/Reader.h"
#include "shell/CString.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FileModuleRegistry registry;
  std::string text(reinterpret_cast<const char*>(data), size);
  PatternTable table;
  try {
    loadPatternsFromText(text, "fuzz.cfg", registry, table);
  } catch (const std::runtime_error&) {
    // A refused file is a result; the patterns before it stay usable.
  }
  uint8_t sector[512];
  for (size_t i = 0; i < sizeof sector; ++i) sector[i] = size ? data[i % size] : 0;
  for (const Pattern& p : table) {
    if (p.length() > Pattern::kMaxLength || !Reader::fits(p.offset(), p.length(), 512)) __builtin_trap();
    (void)p.matches(sector, sizeof sector);
  }
  try {
    (void)unescape(text);
  } catch (const std::runtime_error&) {
  }
  return 0;
}
