// One scan of a whole medium: the buffer loop shared by the GUI and the
// command line.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "engine/FragmentedCarving.h"

class ConfigRecord;
class FileCase;
class InterfaceCallback;

struct ScanReport {
  bool complete = false;        // every byte was scanned (not stopped)
  uint64_t position = 0;        // where the scan stopped
  uint64_t total = 0;           // bytes to scan (medium size rounded down to 512)
  uint64_t unreadableBytes = 0;
  std::vector<std::pair<uint64_t, uint64_t>> unreadable;  // (offset, length) ranges
  CarvingFigures carving;       // the search for the rest of carved files
};

// Work that follows the scan over the medium, reading what the scan has
// just passed while the medium's cache still holds it (the command line
// writes found files as soon as the scan is past them).
class ScanFollower {
 public:
  virtual ~ScanFollower() {}
  // How far behind the scan position the follower may still read: the
  // cache keeps what the scan passed for that long (within its budget).
  virtual uint64_t reach() const = 0;
  // Every sector below `position` has been tested (called after each buffer
  // and once more after the scan, before runScan returns).  May throw
  // InterruptedException, which stops the scan like a stop request.
  virtual void passed(uint64_t position) = 0;
};

// Loads "Scanner.cfg" from "Program Path" (its exceptions pass through
// before any sector is read), reads the medium of `fileCase` in buffers of
// "Scan Buffer Size" bytes (rounded down to a multiple of 512, at least 512),
// tests every sector and closes the pending file at the end.  Before each
// buffer: progress->setValue(0, 0, position) and progress->check(); an
// InterruptedException from check() stops the scan in order (complete false).
// What the scan has passed leaves the cache at once, unless a follower
// reaches back for it.  After a complete walk, carved files that break off
// are searched for their rest (FragmentedCarving), within "Fragment Search
// Seconds" (default 120) in all; stopping that also leaves complete false.
ScanReport runScan(FileCase& fileCase, const ConfigRecord& config, InterfaceCallback* progress,
                   ScanFollower* follower = nullptr);
