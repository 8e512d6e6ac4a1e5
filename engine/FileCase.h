// The collection of found files of the medium that is open.
//
// Found files from the signature scanner and the FAT scan are filed under
// a key of offset, type and size (plus "f" when fragmented); the first
// report of a key wins.  The case owns the medium's reader and hands out a
// reader positioned on any found file.  Everything the case does with the
// medium (the scan, the modules' windows, the volumes, the readers it hands
// out) reads through one BlockCache over it, so that a byte read once is
// not read again while it is held.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/ByteRun.h"
#include "engine/FileModule.h"
#include "engine/FileModuleRegistry.h"
#include "engine/Pattern.h"
#include "engine/Scanner.h"
#include "engine/VolumeHost.h"

class BlockCache;
class ConfigRecord;
class FragmentReader;
class Reader;
class ReaderReader;

class FileCase : public Scanner::Callback, public VolumeHost {
 public:
  class Callback {
   public:
    virtual ~Callback() {}
    virtual void added(const std::string& key, const FileModule::File& file) = 0;
  };

  // Builds the registry, lets each file-system family add its modules, and
  // loads "FsScanner.cfg" from "Program Path" (its exceptions pass through).
  FileCase(const ConfigRecord& config, const FileSystemFamilies& families);
  ~FileCase() override;

  // Takes ownership; empties the case.  Throws "FileCase(60)" on null.
  void setReader(Reader* reader);
  // Throws "FileCase(54)" when there is none.  The medium itself (a
  // device may be written through it); reads go through cache().
  Reader* reader() const;
  // The cache over the medium; throws like reader().
  BlockCache* cache() const;
  FileModuleRegistry* registry() { return &registry_; }
  void setCallback(Callback* callback) { callback_ = callback; }

  void found(const FileModule::File& file) override;
  // Files put together from pieces: read back along their runs.
  void foundRebuilt(const FileModule::File& file, const ByteRuns& runs) override;
  static std::string keyOf(const FileModule::File& file);
  const FileModule::File* findFile(const std::string& key) const;
  const std::map<std::string, FileModule::File>& files() const { return files_; }
  // Files in the order they were added.
  const std::vector<std::string>& order() const { return order_; }

  // A reader over the found file, owned by the case and re-aimed by the
  // next call; null when the file cannot be read.  A rebuilt file is read
  // along the runs it was reported with.
  Reader* readerFor(const FileModule::File& file);

  // Where the found file's bytes lie on the medium: one run for a file of
  // the signature scanner, its volume's runs for a file of a file system;
  // empty when it cannot be read or is empty.  Re-aims like readerFor.
  ByteRuns byteRunsFor(const FileModule::File& file);

  // Marks "crosslinked" every file of a volume whose bytes lie where
  // another file of the same volume also has bytes (chains that run into
  // each other), and returns how many were marked.  Run after a scan.
  size_t markCrossLinks();

  // VolumeHost: the file-system families' modules open volumes here.  At
  // most kMaxVolumes are kept; beyond that a volume that has given no file
  // makes room for the new one.
  static constexpr size_t kMaxVolumes = 64;
  bool addVolume(const VolumeOpener& open) override;
  bool hasVolumeAt(uint64_t start) const override;
  bool directoryMet(uint64_t offset, uint64_t cluster) override;
  void addUnclaimedDirectoryHandler(UnclaimedDirectoryHandler handler) override;
  // The most unclaimed directories kept for one medium.
  static constexpr size_t kMaxUnclaimed = 4096;
  // The sector walk is about to test the medium below `position` (see
  // Volume::walkReaches); UINT64_MAX when it has ended.  Volumes opened
  // later hear it when they open.
  void walkReaches(uint64_t position);
  size_t volumeCount() const { return volumes_.size(); }
  Volume* volume(size_t index) const { return volumes_[index].get(); }
  const PatternMap& fileSystemPatterns() const { return fsPatterns_; }

 private:
  bool add(const FileModule::File& file, const ByteRuns* runs);

  Reader* reader_ = nullptr;
  BlockCache* cache_ = nullptr;
  ReaderReader* window_ = nullptr;
  FileModuleRegistry registry_;
  PatternMap fsPatterns_;
  std::vector<std::shared_ptr<Volume>> volumes_;
  std::vector<UnclaimedDirectory> unclaimed_;
  std::vector<UnclaimedDirectoryHandler> unclaimedHandlers_;
  std::vector<uint64_t> yielded_;  // files found per volume
  size_t nextEviction_ = 0;
  uint64_t walkReach_ = UINT64_MAX;
  std::map<std::string, FileModule::File> files_;
  std::map<std::string, ByteRuns> rebuiltRuns_;
  std::unique_ptr<FragmentReader> fragments_;
  std::vector<std::string> order_;
  Callback* callback_ = nullptr;
};
