// Archives and documents for the format tests: made by Debian tools (zip,
// arj, lha, LibreOffice, wixl, Debian's own documentation) and, for RAR and
// DBX, which no Debian tool writes, built from their published layouts.
//
// LibreOffice takes seconds to start, so the samples are made once per
// build tree and kept in its tests folder; every test program and test
// process reads them from there.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
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

// The two members of the sample archives: a text and 20000 bytes of noise.
std::string sampleText();
std::string sampleNoise();

// Archives laid out as the published formats describe, with one stored
// member per entry (name, bytes).
typedef std::vector<std::pair<std::string, std::string>> Members;
std::string rar4Archive(const Members& members);
std::string rar5Archive(const Members& members);
// An Outlook Express folder header claiming `size` bytes, filled to that size.
std::string dbxFolder(uint32_t size);

uint32_t crc32Of(const std::string& bytes);

}  // namespace mzktest
