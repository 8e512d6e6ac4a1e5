// The walk over a FAT directory: its entries in order, long names joined to
// their short entries, bad entries passed over within an error budget.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fat/DirectoryEntry.h"

class Reader;

struct FatDirectoryEntry {
  std::string name;  // UTF-8: the long name when one survives, else the short name
  uint64_t firstCluster = 0;
  uint64_t size = 0;
  bool isDirectory = false;
  bool deleted = false;
};

// No directory is read beyond this many bytes.
const uint64_t kFatDirectoryLimit = 32768000;

// Decodes the entries of `directory` (from byte 64 for a subdirectory, past
// "." and "..") until an end mark, its end or kFatDirectoryLimit.  Dates
// are valid up to `latestYear`.  Each bad entry is logged with a hex dump
// and passed over; the fifth makes the result false, with the entries
// decoded before it kept in `out`.  Volume labels and long-name entries
// produce nothing of their own.
bool parseDirectory(Reader& directory, bool isSubdirectory, int latestYear, std::vector<FatDirectoryEntry>& out);
// The same with this year plus one as the latest year.
bool parseDirectory(Reader& directory, bool isSubdirectory, std::vector<FatDirectoryEntry>& out);
