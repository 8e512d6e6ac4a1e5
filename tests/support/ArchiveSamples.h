// Archives and documents for the format tests: made by Debian tools (zip,
// arj, lha, LibreOffice, wixl, Debian's own documentation) and, for RAR and
// DBX, which no Debian tool writes, built from their published layouts.
//
// LibreOffice takes seconds to start, so the samples are made once per
// build tree and kept in its tests folder; every test program and test
// process reads them from there.
#pragma once

#include <string>
#include <vector>

namespace mzktest {

struct Sample {
  std::string name;   // a file name, as the sample is stored on a FAT card
  std::string type;   // the type the signature scan gives it
  std::string bytes;
};

// Every sample whose tool is installed, in a fixed order.
const std::vector<Sample>& archiveSamples();
// The sample of that name, or null when its tool is missing.
const Sample* archiveSample(const std::string& name);

// The text that the sample archives hold first (before 20000 bytes of
// noise), also the plain-text sample.
std::string sampleText();

}  // namespace mzktest
