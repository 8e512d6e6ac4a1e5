// Walking an exFAT directory: the entry sets of files and directories, and
// the allocation bitmap's entry in the root.
#pragma once

#include <cstdint>
#include <functional>

#include "exfat/ExfatEntrySet.h"

class Reader;

// What one walk met.
struct ExfatDirectoryWalk {
  uint64_t sets = 0;        // decoded and visited
  uint64_t refused = 0;     // file entries whose set did not decode
  uint64_t unreadable = 0;  // sectors passed over because they could not be read
  bool ended = false;       // met the end-of-directory mark
};

// Decodes every file's set that starts in [from, to) of `directory` (a set
// may reach past `to`, up to the reader's size) and hands it to `visit`,
// which must not re-aim `directory`.  An entry of type 0 ends the
// directory.  A set that does not decode is passed over one entry at a
// time, so a damaged set hides nothing that follows it; a sector that
// cannot be read is passed over whole.
ExfatDirectoryWalk walkExfatDirectory(Reader& directory, uint64_t from, uint64_t to,
                                      const std::function<void(const ExfatEntrySet&)>& visit);

// The allocation bitmap entry of the given bitmap (0 first, 1 second) among
// the root directory's entries: its first cluster and length in bytes.
bool findExfatAllocationBitmap(Reader& root, unsigned which, uint64_t& firstCluster, uint64_t& length);
