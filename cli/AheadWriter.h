// Writes the wanted files the scan finds as soon as the scan is past their
// last byte, while the medium's cache still holds them
// (FileRecoverer::writeAhead), so that the recovery after the scan only
// gives them their names and the medium is read about once.
//
// A signature hit's bytes lie from its offset on; a file of a file system
// lies where its volume says (its byte runs, asked for between buffers,
// when no volume is busy).  The cache keeps what the scan passed from the
// first byte of the earliest file still waiting.
#pragma once

#include <cstdint>
#include <functional>
#include <queue>
#include <set>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "engine/ScanRun.h"

class FileRecoverer;
class InterfaceCallback;

class AheadWriter : public ScanFollower, public FileCase::Callback {
 public:
  typedef std::function<bool(const FileModule::File&)> Wanted;
  // None of the arguments is owned; `next` (may be null) is told of every
  // file added, `checker` (may be null) sees check() while files are written.
  AheadWriter(FileCase& fileCase, FileRecoverer& recoverer, InterfaceCallback* checker, Wanted wanted,
              FileCase::Callback* next);

  void added(const std::string& key, const FileModule::File& file) override;
  uint64_t reach() const override;
  void passed(uint64_t position) override;

 private:
  struct Waiting {
    uint64_t start, end;
    std::string key;
    bool operator>(const Waiting& other) const { return end > other.end; }
  };
  void wait(uint64_t start, uint64_t end, const std::string& key);

  FileCase& fileCase_;
  FileRecoverer& recoverer_;
  InterfaceCallback* checker_;
  Wanted wanted_;
  FileCase::Callback* next_;
  std::vector<std::string> unplaced_;  // files of file systems, runs not asked for yet
  std::priority_queue<Waiting, std::vector<Waiting>, std::greater<Waiting>> waiting_;  // by end
  std::multiset<uint64_t> starts_;
  uint64_t position_ = 0;
};
