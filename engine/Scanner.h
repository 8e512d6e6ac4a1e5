// The signature scanner: every 512-byte sector is tested against the
// pattern table; the scanner itself is the window through which analyze
// modules read a candidate.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/FileModule.h"
#include "engine/Pattern.h"
#include "media/ReaderReader.h"

class FileModuleRegistry;

class Scanner : public ReaderReader {
 public:
  class Callback {
   public:
    virtual ~Callback() {}
    virtual void found(const FileModule::File& file) = 0;
  };

  static constexpr uint32_t kSectorLength = 512;
  static constexpr uint32_t kDefaultBufferSize = 1024000;

  Scanner(Reader* medium, FileModuleRegistry* registry);
  // Loads the pattern file (its exceptions pass through).
  void init(const std::string& patternPath, Callback* callback);
  // The same with a table already loaded (tests, benchmarks).
  void init(const PatternTable& patterns, Callback* callback);
  void check(uint64_t position, const uint8_t* sector, uint32_t length);
  void finish(uint64_t position);
  const PatternTable& patterns() const { return patterns_; }

 private:
  void flushPending(uint64_t position);
  void indexPatterns();

  FileModuleRegistry* registry_;
  Callback* callback_ = nullptr;
  PatternTable patterns_;
  int32_t pendingIndex_ = -1;
  FileModule::File pending_;
  int32_t mp3Index_ = -1;
  uint64_t mp3End_ = 0;
  int32_t mpegIndex_ = -1;
  uint64_t mpegEnd_ = 0;
  // Patterns that may match a sector, by the sector's byte at each
  // pattern's offset: per-sector work is a table lookup.
  struct Dispatch;
  std::shared_ptr<Dispatch> dispatch_;
};
