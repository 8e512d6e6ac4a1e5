// FileModulePdf: end markers, startxref, updates, the cross-reference
// tables and the document information.  Seeds: PDFs from Ghostscript.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("pdf", "%PDF-1.", data, size);
}
