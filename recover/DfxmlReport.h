// A DFXML report of a recovery: the program, the source image and one
// fileobject per recovered file with its name, size, allocation, byte runs
// on the image, MD5 and SHA-256; what DFXML has no element for (the type,
// the name in the file system, fragmentation, how the file was put
// together, whether it is partial, unreadable bytes, the image size, the
// summary) is in the project's own namespace, so the report
// validates against the DFXML schema.  Written as the files are recovered, so a run that is
// stopped still leaves a well-formed report once finish() is called.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/ByteRun.h"
#include "engine/FileModule.h"

// Text made safe for XML character data and attribute values: the five
// special characters escaped, characters XML cannot hold and invalid UTF-8
// replaced by U+FFFD.
std::string xmlEscape(const std::string& text);

// One recovered file, as the report describes it.
struct ReportedFile {
  std::string filename;  // as written, in the output folder
  uint64_t size = 0;
  ByteRuns runs;
  std::string md5;
  std::string sha256;
  uint64_t unreadableBytes = 0;
  std::string type;          // "t"
  std::string originalName;  // "fn": the name in the file system
  int allocated = -1;        // 1 live, 0 deleted, -1 not from a file system
  bool fragmented = false;
  std::string rebuilt;       // how its bytes were put together ("rebuilt")
  bool partial = false;      // not proven whole
  bool raw = false;          // a camera raw file
  bool crossLinked = false;  // its bytes are another file's too
  uint64_t previewOffset = 0;  // its embedded preview, when previewSize is not 0
  uint64_t previewSize = 0;
};

// The report's description of a found file, without what writing it adds
// (filename, runs, digests, unreadable bytes).
ReportedFile reportedFileOf(const FileModule::File& file);

// Elements that DFXML has no place for go into the project's own namespace.
extern const char kReportNamespace[];

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
  void fileObject(const ReportedFile& file);
  // Closes the root element; false when anything could not be written.
  bool finish(uint64_t filesRecovered, uint64_t unreadableBytes);

 private:
  void put(const std::string& text);
  FILE* out_ = nullptr;
  bool failed_ = false;
};
