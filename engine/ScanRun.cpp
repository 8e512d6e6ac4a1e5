// One scan of a whole medium.

#include "engine/ScanRun.h"

#include <algorithm>
#include <vector>

#include "engine/FileCase.h"
#include "engine/FragmentedCarving.h"
#include "engine/Scanner.h"
#include "media/BlockCache.h"
#include "media/Reader.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/InterfaceCallback.h"

namespace {

// Log tags of this file.
const LogTag kLogUnreadableTotal{"ScanRun", 76};
const LogTag kLogBufferUnreadable{"Browser", 703};

const uint64_t kSector = Scanner::kSectorLength;
// A buffer size from the configuration is capped so a typo cannot ask for
// gigabytes of memory.
const uint64_t kMaxBufferSize = 64ull * 1024 * 1024;
const uint64_t kPrefetchDistance = 16 * kSector;
// All searches for the rest of carved files together take at most this long.
const int64_t kDefaultSearchSeconds = 120;

uint64_t bufferSizeFrom(const ConfigRecord& config) {
  int64_t wanted = config.getInt64("Scan Buffer Size", Scanner::kDefaultBufferSize);
  uint64_t size = wanted < static_cast<int64_t>(kSector) ? kSector : static_cast<uint64_t>(wanted);
  size = std::min(size, kMaxBufferSize);
  return size - size % kSector;
}

void addUnreadable(ScanReport& report, uint64_t offset, uint64_t length) {
  report.unreadableBytes += length;
  if (!report.unreadable.empty()) {
    auto& last = report.unreadable.back();
    if (last.first + last.second == offset) {
      last.second += length;
      return;
    }
  }
  report.unreadable.push_back({offset, length});
}

// Tests the sectors of [position, position + n) in the cache's blocks,
// without a copy.  False, before any sector is tested, when a block of the
// range cannot be read.  `blocks` is scratch room: a buffer's blocks (one,
// or a few for a buffer larger than a block) are held while it is tested.
bool scanBlocks(BlockCache& cache, Scanner& scanner, uint64_t position, uint64_t n,
                std::vector<BlockCache::BlockRef>& blocks) {
  blocks.clear();
  for (uint64_t at = position; at < position + n; at = blocks.back()->start + blocks.back()->length) {
    blocks.push_back(cache.block(at));
    if (!blocks.back()) return false;
  }
  uint64_t at = position;
  for (const BlockCache::BlockRef& b : blocks) {
    uint64_t end = std::min(position + n, b->start + b->length);
    const uint8_t* data = b->data - b->start;
    for (; at < end; at += kSector) {
      // The sector heads (and tails, where boot signatures lie) a few
      // sectors on are fetched while this one is tested: the scan then
      // waits for memory once per stretch, not once per sector.
      if (at + kPrefetchDistance < end) {
        __builtin_prefetch(data + at + kPrefetchDistance);
        __builtin_prefetch(data + at + kPrefetchDistance + kSector - 64);
      }
      scanner.check(at, data + at, kSector);
    }
  }
  blocks.clear();
  return true;
}

}  // namespace

ScanReport runScan(FileCase& fileCase, const ConfigRecord& config, InterfaceCallback* progress,
                   ScanFollower* follower) {
  BlockCache* reader = fileCase.cache();
  Scanner scanner(reader, fileCase.registry());
  // Carved files that break off are searched for their rest once every
  // sector has been seen.
  FragmentedCarving carving(fileCase);
  carving.setTotalSeconds(static_cast<double>(config.getInt64("Fragment Search Seconds", kDefaultSearchSeconds)));
  scanner.init(config.getString("Program Path") + "/Scanner.cfg", &carving);

  const uint64_t bufferSize = bufferSizeFrom(config);
  // One block per buffer: a buffer is one read of the medium, as without
  // the cache.  Blocks held from before the scan go: the medium may have
  // been written since.
  reader->reset(static_cast<size_t>(bufferSize));
  std::vector<uint8_t> sector(kSector);
  std::vector<BlockCache::BlockRef> blocks;

  ScanReport report;
  report.total = reader->size() - reader->size() % kSector;
  uint64_t remaining = report.total;
  uint64_t position = 0;
  try {
    while (remaining) {
      if (progress) {
        progress->setValue(0, 0, position);
        progress->check();
      }
      uint64_t n = std::min(bufferSize, remaining);
      // Files the volumes know of that start in this buffer are looked at
      // before its sectors, so the volume reports them first and their bytes
      // are read with the walk's.
      fileCase.walkReaches(position + n);
      if (scanBlocks(*reader, scanner, position, n, blocks)) {
        position += n;
      } else {
        dlog() << kLogBufferUnreadable << ": " << position << " " << n << "\n";
        // Every sector that can still be read is tested; only the ones that
        // cannot are skipped and counted.
        uint64_t end = position + n;
        for (uint64_t sectors = 0; position < end; position += kSector, ++sectors) {
          if (progress && sectors % 256 == 255) progress->check();
          if (reader->read(position, sector.data(), kSector)) {
            scanner.check(position, sector.data(), kSector);
          } else {
            addUnreadable(report, position, kSector);
          }
        }
      }
      remaining = report.total - position;
      if (follower) follower->passed(position);
      uint64_t reach = follower ? follower->reach() : 0;
      if (position > reach) reader->releaseBelow(position - reach);
    }
  } catch (InterruptedException&) {
    // Stopped: what was found stays, the pending file ends here.
  }
  // What the volumes put off is done, as if the walk had seen it all.
  fileCase.walkReaches(UINT64_MAX);
  scanner.finish(position);
  report.position = position;
  report.complete = position == report.total;
  if (report.complete) {
    try {
      carving.run(progress);
    } catch (InterruptedException&) {
      report.complete = false;
    }
    report.carving = carving.figures();
  }
  fileCase.markCrossLinks();
  if (follower) {
    try {
      follower->passed(position);
    } catch (InterruptedException&) {
    }
  }
  if (report.unreadableBytes)
    dlog() << kLogUnreadableTotal << ": " << report.unreadableBytes << " " << report.unreadable.size() << "\n";
  return report;
}
