// One signature of a pattern file: bytes at a fixed place in a 512-byte
// sector, an optional quick scan module and an optional analyze module.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "media/Sector.h"

class FileModule;

class Pattern {
 public:
  static constexpr uint32_t kSectorLength = kSectorBytes;
  static constexpr uint32_t kMaxLength = 64;
  static constexpr uint64_t kDefaultMaxSize = 100000000;

  const std::string& type() const { return type_; }
  void setType(const std::string& type) { type_ = type; }
  FileModule* scanModule() const { return scanModule_; }
  void setScanModule(FileModule* module) { scanModule_ = module; }
  FileModule* analyzeModule() const { return analyzeModule_; }
  void setAnalyzeModule(FileModule* module) { analyzeModule_ = module; }
  uint64_t maxSize() const { return maxSize_; }
  void setMaxSize(uint64_t maxSize) { maxSize_ = maxSize; }

  // Throws std::runtime_error "Patterns(58)" unless length <= 64 and
  // offset <= 512 - length.
  void setPattern(uint32_t offset, const uint8_t* bytes, uint32_t length);
  uint32_t offset() const { return offset_; }
  uint32_t length() const { return length_; }
  const uint8_t* bytes() const { return bytes_; }

  // Signature bytes at the offset, then the scan module's scan().
  bool matches(const uint8_t* sector, uint32_t length) const;

  // A pattern whose files silence it until their end: a stream format
  // (MP3, MPEG) matches again inside its own frames, and those matches are
  // not new files.  Set by assignSilencing.
  bool silencesItself() const { return silencesItself_; }
  void setSilencesItself(bool silences) { silencesItself_ = silences; }
  // A pattern that only looks at sectors no file found so far covers: plain
  // text matches every sector of a text document, and most sectors of
  // other documents.  Set by assignSilencing.
  bool onlyOutsideFiles() const { return onlyOutsideFiles_; }
  void setOnlyOutsideFiles(bool only) { onlyOutsideFiles_ = only; }

 private:
  std::string type_;
  uint32_t offset_ = 0;
  uint8_t bytes_[kMaxLength] = {};
  uint32_t length_ = 0;
  FileModule* scanModule_ = nullptr;
  FileModule* analyzeModule_ = nullptr;
  uint64_t maxSize_ = 0;
  bool silencesItself_ = false;
  bool onlyOutsideFiles_ = false;
};

typedef std::vector<Pattern> PatternTable;
typedef std::map<std::string, Pattern> PatternMap;

// Marks the patterns that silence themselves: the first "mp3" pattern of
// the table, and the last "mpeg" pattern before it (later "mpeg" patterns
// are not looked at).  Every other pattern is cleared.
void assignSilencing(PatternTable& patterns);
