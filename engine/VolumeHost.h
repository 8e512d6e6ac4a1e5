// What a file-system family needs of the file case, and how a family plugs
// in.  The file case implements VolumeHost; a family is a function that
// adds its modules (those that meet its boot sectors and directories during
// the sector walk) to the case's registry, bound to the case.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/Pattern.h"
#include "engine/Scanner.h"
#include "engine/Volume.h"

class FileModuleRegistry;
class Reader;

// Handed to a family when one of its volumes is opened.
struct VolumeContext {
  Reader* medium = nullptr;             // not owned; outlives the volume
  const PatternMap* patterns = nullptr; // "FsScanner.cfg": Type -> Pattern
  int32_t index = -1;                   // the "fs" attribute of its files
  Scanner::Callback* found = nullptr;   // receiver of its files
};

// Opens a volume in the given context; null when the structures do not hold.
typedef std::function<std::shared_ptr<Volume>(const VolumeContext&)> VolumeOpener;

// A directory cluster met by the sector walk that no volume claimed: where
// it lies on the medium and the cluster it names as its own.
struct UnclaimedDirectory {
  uint64_t offset = 0;
  uint64_t cluster = 0;
};
class VolumeHost;
// Told of the directories no volume claims, all kept so far with the
// newest last; a family that can prove a volume from them opens it.
typedef std::function<void(VolumeHost& host, const std::vector<UnclaimedDirectory>& unclaimed)>
    UnclaimedDirectoryHandler;

class VolumeHost {
 public:
  virtual ~VolumeHost() {}
  // Opens a volume with `open`; when it gives one, keeps it (its index is
  // the number of volumes before it) and lets it report its root directory.
  // False when there is no medium or `open` gives none.
  virtual bool addVolume(const VolumeOpener& open) = 0;
  // A volume opened from `start` (a medium byte position) is kept already.
  virtual bool hasVolumeAt(uint64_t start) const = 0;
  // Offers a directory cluster met by the sector walk to every volume in
  // order; true when at least one of them claimed it.  One that none
  // claims, and that names its own cluster, is kept and handed to the
  // handlers.
  virtual bool directoryMet(uint64_t offset, uint64_t cluster) = 0;
  // Kept for the life of the host, over every medium.
  virtual void addUnclaimedDirectoryHandler(UnclaimedDirectoryHandler handler) = 0;
};

typedef std::function<void(FileModuleRegistry& registry, VolumeHost* host)> FileSystemFamily;
typedef std::vector<FileSystemFamily> FileSystemFamilies;
