// A DFXML report of a recovery: the program, the source image and one
// fileobject per recovered file with its name, size, byte runs on the
// image, MD5 and SHA-256.  Written as the files are recovered, so a run that is
// stopped still leaves a well-formed report once finish() is called.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/ByteRun.h"

// Text made safe for XML character data and attribute values: the five
// special characters escaped, characters XML cannot hold and invalid UTF-8
// replaced by U+FFFD.
std::string xmlEscape(const std::string& text);

class DfxmlReport {
 public:
  DfxmlReport() {}
  ~DfxmlReport();
  DfxmlReport(const DfxmlReport&) = delete;
  DfxmlReport& operator=(const DfxmlReport&) = delete;

  // Creates the file exclusively (an existing file is never replaced).
  bool create(const std::string& path, std::string* error);
  void begin(const std::string& program, const std::string& version, const std::string& commandLine,
             const std::string& imagePath, uint64_t imageSize);
  void fileObject(const std::string& filename, uint64_t size, const ByteRuns& runs,
                  const std::string& md5, const std::string& sha256, uint64_t unreadableBytes);
  // Closes the root element; false when anything could not be written.
  bool finish(uint64_t filesRecovered, uint64_t unreadableBytes);

 private:
  void put(const std::string& text);
  FILE* out_ = nullptr;
  bool failed_ = false;
};
