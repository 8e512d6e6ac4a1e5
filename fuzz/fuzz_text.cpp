// FileModuleText: HTML and XML documents.  Seeds: pages and XML files
// from /usr/share/doc.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("text", std::string("<"), data, size);
}
