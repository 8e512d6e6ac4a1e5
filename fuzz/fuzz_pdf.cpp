// FileModulePdf: end markers, startxref, updates, the cross-reference
// tables and the document information.  Seeds: PDFs from Ghostscript.
// Also: the markers the module remembers between the scanner's candidates
// change no answer; every candidate is analysed with and without them,
// through windows of two lengths.
#include <algorithm>

#include "FuzzModule.h"
#include "media/ReaderReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzmodule::run("pdf", "%PDF-1.", data, size);

  static FileModuleRegistry registry;
  FileModule* pdf = registry.findModule("pdf");
  std::vector<uint8_t> bytes = {'%', 'P', 'D', 'F', '-', '1', '.'};
  bytes.insert(bytes.end(), data, data + size);
  MemoryReader medium(bytes);
  ReaderReader window(&medium);
  pdf->beginScan();
  for (size_t at = 0; at + 6 <= bytes.size(); ++at) {
    if (!pdf->scan(&bytes[at], uint32_t(std::min<size_t>(512, bytes.size() - at)))) continue;
    if (!window.setWindow(at, at % 2 ? 300 : bytes.size() - at)) continue;
    FileModule::File remembered, fresh;
    bool a = pdf->analyzeAt(at, window, remembered), b = pdf->analyze(window, fresh);
    if (a != b || (a && (remembered.size != fresh.size ||
                         remembered.attributes.getString("name") != fresh.attributes.getString("name"))))
      __builtin_trap();
  }
  return 0;
}
