#include "exfat/ExfatDirectory.h"

#include <algorithm>

#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "media/Sector.h"
#include "shell/DebugLog.h"
#include "shell/Endian.h"

namespace {
const uint8_t kEndOfDirectory = 0x00;
const uint8_t kBitmapEntry = 0x81;
const unsigned kBitmapFlagsAt = 1;
const unsigned kFirstClusterAt = 20;
const unsigned kDataLengthAt = 24;

// Log tags of this file.
const LogTag kLogUnreadable{"ExfatDirectory", 48};
const LogTag kLogRefused{"ExfatDirectory", 70};
}  // namespace

ExfatDirectoryWalk walkExfatDirectory(Reader& directory, uint64_t from, uint64_t to,
                                      const std::function<void(const ExfatEntrySet&)>& visit) {
  ExfatDirectoryWalk walk;
  ByteCursor cursor(directory);
  to = std::min(to, cursor.size());
  uint8_t set[kExfatLargestSetBytes];
  uint64_t at = from;
  while (at < to && kExfatEntryBytes <= cursor.size() - at) {
    if (!cursor.read(at, set, kExfatEntryBytes)) {
      dlog() << kLogUnreadable << ": " << at << "\n";
      ++walk.unreadable;
      at += kSectorBytes - at % kSectorBytes;
      continue;
    }
    if (set[0] == kEndOfDirectory) {
      walk.ended = true;
      break;
    }
    if ((set[0] | kExfatInUse) != kExfatFileEntry) {
      at += kExfatEntryBytes;
      continue;
    }
    size_t bytes = static_cast<size_t>(std::min<uint64_t>(exfatSetBytes(set), cursor.size() - at));
    ExfatEntrySet decoded;
    ExfatSetFault fault = ExfatSetFault::kTooShort;
    if (cursor.read(at, set, bytes) && decodeExfatEntrySet(set, bytes, decoded, &fault)) {
      ++walk.sets;
      visit(decoded);
      at += decoded.entries * kExfatEntryBytes;
      continue;
    }
    // Deleted sets are often partly overwritten; only sets in use are worth
    // a line.
    if (set[0] & kExfatInUse) dlog() << kLogRefused << ": " << at << " " << exfatSetFaultName(fault) << "\n";
    ++walk.refused;
    at += kExfatEntryBytes;
  }
  return walk;
}

bool findExfatAllocationBitmap(Reader& root, unsigned which, uint64_t& firstCluster, uint64_t& length) {
  ByteCursor cursor(root);
  uint8_t entry[kExfatEntryBytes];
  for (uint64_t at = 0; kExfatEntryBytes <= cursor.size() - at; at += kExfatEntryBytes) {
    if (!cursor.read(at, entry, sizeof entry) || entry[0] == kEndOfDirectory) return false;
    if (entry[0] == kBitmapEntry && (entry[kBitmapFlagsAt] & 1) == which) {
      firstCluster = le32(entry + kFirstClusterAt);
      length = le64(entry + kDataLengthAt);
      return true;
    }
  }
  return false;
}
