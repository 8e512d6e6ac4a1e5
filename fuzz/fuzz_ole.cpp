// FileModuleOle: the compound-file walk (FAT, DIFAT, mini stream,
// directory, summary information).  Seeds: documents from LibreOffice and
// an installer from wixl.
#include "FuzzModule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzmodule::run("ole", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0\0\0", 12), data, size);
}
