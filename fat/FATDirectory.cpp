#include "fat/FATDirectory.h"

#include <algorithm>
#include <cstring>

#include "fat/LongName.h"
#include "media/ByteCursor.h"
#include "media/Sector.h"
#include "media/Reader.h"
#include "shell/DebugLog.h"
#include "shell/Endian.h"

using namespace fatentry;

namespace {

const int kErrorBudget = 4;
const uint64_t kSubdirectoryStart = 64;
// Directories are read in blocks, so that a directory of a million entries
// does not cost a million medium reads.
const size_t kBlockBytes = 32768;

// The log line of each reason an entry is passed over.
int logLineOf(EntryFault fault) {
  switch (fault) {
    case EntryFault::kUnreadable: return 218;
    case EntryFault::kUnusedAttributes: return 223;
    case EntryFault::kLongNameCluster: return 225;
    case EntryFault::kLongNameType: return 226;
    case EntryFault::kDirectorySize: return 231;
    case EntryFault::kTime: return 233;
    case EntryFault::kDate: return 234;
    case EntryFault::kName: return 235;
    case EntryFault::kLongNameUnreadable: return 248;
    case EntryFault::kNone: break;
  }
  return 0;
}

class DirectoryWalk {
 public:
  DirectoryWalk(Reader& reader, bool isSubdirectory, int latestYear, std::vector<FatDirectoryEntry>& out)
      : cursor_(reader, kFatDirectoryLimit, kBlockBytes),
        start_(isSubdirectory ? kSubdirectoryStart : 0),
        latestYear_(latestYear),
        out_(out) {}

  bool run() {
    uint8_t e[kBytes];
    for (uint64_t position = start_; position < cursor_.size(); position += kBytes) {
      memset(e, 0, sizeof e);
      if (!cursor_.read(position, e, kBytes)) {
        // Damage is no sign that this is not a directory: one unreadable
        // sector costs its own entries, logged once, and not the error
        // budget, so the entries in the sectors after it still count.
        dlog() << LogTag{"FATDirectoryClass", logLineOf(EntryFault::kUnreadable)} << ": " << position << "\n";
        position = (position / kSectorBytes + 1) * kSectorBytes - kBytes;
        continue;
      }
      if (e[kNameAt] == kEndMark || e[kNameAt] == '.') return true;
      uint8_t attributes = e[kAttributesAt];
      EntryFault fault = EntryFault::kNone;
      if (attributes & kAttrUnused)
        fault = EntryFault::kUnusedAttributes;
      else if (attributes == kAttrLongName)
        fault = le16(e + kClusterLowAt) != 0 ? EntryFault::kLongNameCluster
                : e[kLongTypeAt] != 0        ? EntryFault::kLongNameType
                                             : EntryFault::kNone;
      else
        fault = checkShortEntry(e, latestYear_);
      if (fault != EntryFault::kNone) {
        if (!reject(fault, e)) return false;
        continue;
      }
      if (attributes == kAttrLongName || (attributes & kAttrVolumeLabel)) continue;

      FatDirectoryEntry entry;
      entry.deleted = e[kNameAt] == kDeletedMark;
      entry.firstCluster = firstCluster(e);
      entry.size = le32(e + kSizeAt);
      entry.isDirectory = (attributes & kAttrDirectory) != 0;
      if (!longName(position, e, entry.deleted, entry.name)) entry.name = shortNameText(e, entry.deleted);
      out_.push_back(entry);
    }
    return true;
  }

 private:
  // Logs the entry and spends one unit of the error budget; false when the
  // budget is exhausted.
  bool reject(EntryFault fault, const uint8_t* e) {
    dlog() << LogTag{"FATDirectoryClass", logLineOf(fault)} << "\n" << hexDump(e, kBytes);
    return --budget_ >= 0;
  }

  // The long name in front of the short entry at `position`, if one survives.
  bool longName(uint64_t position, const uint8_t* shortEntry, bool deleted, std::string& name) {
    LongNameAssembler assembler(shortEntry, deleted);
    LongNameStep step = LongNameStep::kMore;
    uint8_t e[kBytes];
    uint64_t p = position;
    for (int walked = 0; walked < kMaxLongNameEntries && p >= start_ + kBytes; ++walked) {
      p -= kBytes;
      memset(e, 0, sizeof e);
      if (!cursor_.read(p, e, kBytes)) {
        // The name's entries in front cannot be read: the short name stands.
        dlog() << LogTag{"FATDirectoryClass", logLineOf(EntryFault::kLongNameUnreadable)} << ": " << p << "\n";
        return false;
      }
      step = assembler.feed(e);
      if (step != LongNameStep::kMore) break;
    }
    if (step == LongNameStep::kMore) step = assembler.finish();
    if (step != LongNameStep::kFound) return false;
    name = assembler.name();
    return true;
  }

  ByteCursor cursor_;
  uint64_t start_;
  int latestYear_;
  int budget_ = kErrorBudget;
  std::vector<FatDirectoryEntry>& out_;
};

}  // namespace

bool parseDirectory(Reader& directory, bool isSubdirectory, int latestYear, std::vector<FatDirectoryEntry>& out) {
  return DirectoryWalk(directory, isSubdirectory, latestYear, out).run();
}

bool parseDirectory(Reader& directory, bool isSubdirectory, std::vector<FatDirectoryEntry>& out) {
  return parseDirectory(directory, isSubdirectory, latestFatYear(), out);
}
