// The signature scanner: every 512-byte sector is tested against the
// pattern table; a matching sector is handed to its pattern's analyze
// module through a window of the medium that starts at the sector.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/ByteRun.h"
#include "engine/FileModule.h"
#include "engine/Pattern.h"
#include "media/ReaderReader.h"
#include "media/Sector.h"

class FileModuleRegistry;

class Scanner {
 public:
  class Callback {
   public:
    virtual ~Callback() {}
    virtual void found(const FileModule::File& file) = 0;
    // A file whose bytes lie along `runs` (medium runs from its first
    // byte), not where its offset and "fs" alone would place them.
    virtual void foundRebuilt(const FileModule::File& file, const ByteRuns& runs) { found(file); }
    // A sector where `pattern` matched but its module found no file.
    virtual void refused(uint64_t position, const Pattern& pattern) {}
  };

  static constexpr uint32_t kSectorLength = kSectorBytes;
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
  // A file that starts inside the furthest-reaching file its module found
  // so far and ends at or past that file's end is a suffix of it (a size
  // field read from the middle of a file), not a new file.  Without this
  // rule a container header in every sector, each claiming the rest of the
  // medium, would make recovery write the medium many times over.
  bool isSuffix(const FileModule* module, uint64_t start, uint64_t end);
  void indexPatterns();

  ReaderReader window_;
  FileModuleRegistry* registry_;
  Callback* callback_ = nullptr;
  PatternTable patterns_;
  int32_t pendingIndex_ = -1;
  FileModule::File pending_;
  // Per pattern: the medium position below which it stays silent (the end
  // of the last file it found, for patterns that silence themselves).
  std::vector<uint64_t> silentUntil_;
  struct Reach {
    uint64_t start = 0;
    uint64_t end = 0;
  };
  std::map<const FileModule*, Reach> reaches_;
  // The end of the furthest file found so far (patterns that only look
  // outside found files).
  uint64_t coveredUntil_ = 0;
  // Patterns that may match a sector, by the sector's byte at each
  // pattern's offset: per-sector work is a table lookup.
  struct Dispatch;
  std::shared_ptr<Dispatch> dispatch_;
};
