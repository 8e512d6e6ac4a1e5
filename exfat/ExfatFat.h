// The active allocation table of one exFAT volume: 32-bit entries, each
// naming the next cluster of a chain.  Entries are read through a buffered
// cursor, so following a chain costs one medium read per 64 KiB of table.
#pragma once

#include <cstdint>
#include <memory>

#include "exfat/ExfatClusterRuns.h"
#include "exfat/ExfatGeometry.h"
#include "media/ByteCursor.h"
#include "media/ReaderReader.h"

class ExfatFat {
 public:
  static constexpr uint32_t kEndOfChain = 0xFFFFFFFF;
  static constexpr uint32_t kBadCluster = 0xFFFFFFF7;

  // The medium is not owned and must outlive the table; the geometry must
  // be valid.
  ExfatFat(Reader* medium, const ExfatGeometry& geometry);

  // Entry 0 holds a media type (F8) and entry 1 is all ones: how a table
  // starts, and what a boot region read at the wrong place does not show
  // (an end-of-chain entry, FFFFFFFF, is no media entry).
  bool startsLikeAFat();
  // The entry of `cluster`; false when it is not one of the volume's
  // clusters or cannot be read.
  bool entry(uint64_t cluster, uint32_t& value);
  // The cluster after `cluster` in its chain: true with `next` set, true
  // with `next` 0 at the end of the chain, false when the entry is bad,
  // points outside the heap or cannot be read.
  bool next(uint64_t cluster, uint64_t& next);
  // Follows the chain from `first` for at most `clusters` clusters into
  // `runs`; the list ends early at the end of the chain (callers compare).
  // False when the chain breaks (bad, out-of-range or unreadable entry) or
  // comes back to a cluster it passed, so a looping table cannot hang it
  // nor yield a file that repeats itself.
  bool chain(uint64_t first, uint64_t clusters, ClusterRuns& runs);

 private:
  ExfatGeometry geometry_;
  ReaderReader window_;
  std::unique_ptr<ByteCursor> cursor_;
};
