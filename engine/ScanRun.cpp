// One scan of a whole medium.

#include "engine/ScanRun.h"

#include <algorithm>
#include <vector>

#include "engine/FileCase.h"
#include "engine/FragmentedCarving.h"
#include "engine/Scanner.h"
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

}  // namespace

ScanReport runScan(FileCase& fileCase, const ConfigRecord& config, InterfaceCallback* progress) {
  Reader* reader = fileCase.reader();
  Scanner scanner(reader, fileCase.registry());
  // Carved files that break off are searched for their rest once every
  // sector has been seen.
  FragmentedCarving carving(fileCase);
  carving.setTotalSeconds(static_cast<double>(config.getInt64("Fragment Search Seconds", kDefaultSearchSeconds)));
  scanner.init(config.getString("Program Path") + "/Scanner.cfg", &carving);

  const uint64_t bufferSize = bufferSizeFrom(config);
  std::vector<uint8_t> buffer(bufferSize);

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
      if (reader->read(position, buffer.data(), n)) {
        for (uint64_t step = 0; step < n; step += kSector, position += kSector)
          scanner.check(position, buffer.data() + step, kSector);
      } else {
        dlog() << kLogBufferUnreadable << ": " << position << " " << n << "\n";
        // Every sector that can still be read is tested; only the ones that
        // cannot are skipped and counted.
        uint64_t end = position + n;
        for (uint64_t sectors = 0; position < end; position += kSector, ++sectors) {
          if (progress && sectors % 256 == 255) progress->check();
          if (reader->read(position, buffer.data(), kSector)) {
            scanner.check(position, buffer.data(), kSector);
          } else {
            addUnreadable(report, position, kSector);
          }
        }
      }
      remaining = report.total - position;
    }
  } catch (InterruptedException&) {
    // Stopped: what was found stays, the pending file ends here.
  }
  scanner.finish(position);
  fileCase.markCrossLinks();
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
  if (report.unreadableBytes)
    dlog() << kLogUnreadableTotal << ": " << report.unreadableBytes << " " << report.unreadable.size() << "\n";
  return report;
}
