// The collection of found files of the medium that is open.

#include "engine/FileCase.h"

#include <algorithm>
#include <stdexcept>

#include "engine/FragmentReader.h"
#include "engine/PatternsFile.h"
#include "media/BlockCache.h"
#include "media/ReaderReader.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"

namespace {
// Log tags of this file.
const LogTag kLogWindowRefused{"FileCase", 81};
const LogTag kLogNoSuchVolume{"FileCase", 87};
const LogTag kLogVolumeNoReader{"FileCase", 92};
const LogTag kLogNoVolume{"FileCase", 113};
const LogTag kLogTooManyVolumes{"FileCase", 120};
const LogTag kLogCrossLinked{"FileCase", 128};
const LogTag kLogRebuiltShort{"FileCase", 130};
}  // namespace

FileCase::FileCase(const ConfigRecord& config, const FileSystemFamilies& families) {
  for (const FileSystemFamily& family : families) family(registry_, this);
  PatternTable table;
  loadPatterns(config.getString("Program Path") + "/FsScanner.cfg", registry_, table);
  for (const Pattern& pattern : table) fsPatterns_[pattern.type()] = pattern;
}

FileCase::~FileCase() {
  // The volumes read through the medium reader: they go first.
  volumes_.clear();
  fragments_.reset();
  delete window_;
  delete cache_;
  delete reader_;
}

void FileCase::setReader(Reader* reader) {
  if (!reader) throw std::runtime_error("FileCase(60)");
  volumes_.clear();
  unclaimed_.clear();
  yielded_.clear();
  nextEviction_ = 0;
  walkReach_ = UINT64_MAX;
  files_.clear();
  rebuiltRuns_.clear();
  order_.clear();
  fragments_.reset();
  delete window_;
  window_ = nullptr;
  delete cache_;
  cache_ = nullptr;
  delete reader_;
  reader_ = reader;
  cache_ = new BlockCache(reader_);
  window_ = new ReaderReader(cache_);
  fragments_.reset(new FragmentReader(cache_));
}

Reader* FileCase::reader() const {
  if (!reader_) throw std::runtime_error("FileCase(54)");
  return reader_;
}

BlockCache* FileCase::cache() const {
  if (!cache_) throw std::runtime_error("FileCase(54)");
  return cache_;
}

std::string FileCase::keyOf(const FileModule::File& file) {
  std::string key = std::to_string(file.offset);
  key += file.attributes.getString("t");
  key += std::to_string(file.size);
  if (file.attributes.getBool("fragmented", false)) key += "f";
  return key;
}

void FileCase::found(const FileModule::File& file) { add(file, nullptr); }

void FileCase::foundRebuilt(const FileModule::File& file, const ByteRuns& runs) { add(file, &runs); }

bool FileCase::add(const FileModule::File& file, const ByteRuns* runs) {
  std::string key = keyOf(file);
  auto inserted = files_.emplace(key, file);
  if (!inserted.second) return false;  // the first report of a key wins
  if (runs) rebuiltRuns_[key] = *runs;
  order_.push_back(key);
  int32_t fs = file.attributes.getInt32("fs", -1);
  if (fs >= 0 && static_cast<size_t>(fs) < yielded_.size()) ++yielded_[fs];
  if (callback_) callback_->added(key, inserted.first->second);
  return true;
}

const FileModule::File* FileCase::findFile(const std::string& key) const {
  auto it = files_.find(key);
  return it == files_.end() ? nullptr : &it->second;
}

Reader* FileCase::readerFor(const FileModule::File& file) {
  if (!rebuiltRuns_.empty()) {
    auto rebuilt = rebuiltRuns_.find(keyOf(file));
    if (rebuilt != rebuiltRuns_.end()) {
      if (!fragments_) throw std::runtime_error("FileCase(79)");
      fragments_->aim(rebuilt->second);
      if (fragments_->size() < file.size) {
        dlog() << kLogRebuiltShort << ": " << file.offset << " " << file.size << " " << fragments_->size() << "\n";
        return nullptr;
      }
      return fragments_.get();
    }
  }
  int32_t fs = file.attributes.getInt32("fs", -1);
  if (fs == -1) {
    if (!window_) throw std::runtime_error("FileCase(79)");
    if (!window_->setWindow(file.offset, file.size)) {
      dlog() << kLogWindowRefused << ": " << file.offset << " " << file.size << "\n";
      return nullptr;
    }
    return window_;
  }
  if (fs >= 0 && static_cast<size_t>(fs) < volumes_.size()) {
    Reader* reader = volumes_[fs]->readerFor(file.offset, file.size);
    if (!reader) {
      dlog() << kLogVolumeNoReader << ": " << fs << " " << file.offset << " " << file.size << "\n";
      return nullptr;
    }
    return reader;
  }
  dlog() << kLogNoSuchVolume << ": " << fs << " " << volumes_.size() << "\n";
  return nullptr;
}

ByteRuns FileCase::byteRunsFor(const FileModule::File& file) {
  ByteRuns runs;
  if (file.size == 0) return runs;
  Reader* reader = readerFor(file);
  if (!reader) return runs;
  if (reader == fragments_.get()) return cutRuns(fragments_->runs(), file.size);
  int32_t fs = file.attributes.getInt32("fs", -1);
  if (fs == -1) {
    appendByteRun(runs, 0, file.offset, std::min(file.size, reader->size()));
    return runs;
  }
  return volumes_[fs]->byteRuns(file.offset, file.size);
}

size_t FileCase::markCrossLinks() {
  struct Piece {
    uint64_t start, end;
    FileModule::File* file;
  };
  std::vector<std::vector<Piece>> byVolume(volumes_.size());
  for (auto& entry : files_) {
    FileModule::File& file = entry.second;
    int32_t fs = file.attributes.getInt32("fs", -1);
    if (fs < 0 || static_cast<size_t>(fs) >= volumes_.size() || !volumes_[fs]) continue;
    for (const ByteRun& run : byteRunsFor(file))
      if (run.length) byVolume[fs].push_back({run.imageOffset, run.imageOffset + run.length, &file});
  }
  size_t marked = 0;
  auto mark = [&marked](FileModule::File* file) {
    if (file->attributes.getBool("crosslinked", false)) return;
    file->attributes.setBool("crosslinked", true);
    ++marked;
  };
  for (std::vector<Piece>& pieces : byVolume) {
    std::sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.start < b.start; });
    // Sweep: the piece reaching furthest so far overlaps every later piece
    // that starts before its end.
    const Piece* reach = nullptr;
    for (const Piece& piece : pieces) {
      if (reach && piece.start < reach->end && piece.file != reach->file) {
        mark(piece.file);
        mark(reach->file);
      }
      if (!reach || piece.end > reach->end) reach = &piece;
    }
  }
  if (marked) dlog() << kLogCrossLinked << ": " << marked << "\n";
  return marked;
}

bool FileCase::addVolume(const VolumeOpener& open) {
  // Memory stays bounded whatever the medium holds: past kMaxVolumes, a new
  // volume takes the place of the oldest one that has given no file (its
  // index is referenced by nothing), or is not opened.
  size_t slot = volumes_.size();
  if (slot >= kMaxVolumes) {
    slot = kMaxVolumes;
    for (size_t n = 0; n < volumes_.size() && slot == kMaxVolumes; ++n) {
      size_t i = (nextEviction_ + n) % volumes_.size();
      if (yielded_[i] == 0 && !volumes_[i]->holdsFiles()) slot = i;
    }
    if (slot == kMaxVolumes) {
      dlog() << kLogTooManyVolumes << ": " << volumes_.size() << "\n";
      return false;
    }
  }
  std::shared_ptr<Volume> volume;
  if (reader_) {
    VolumeContext context;
    context.medium = cache_;
    context.patterns = &fsPatterns_;
    context.index = static_cast<int32_t>(slot);
    context.found = this;
    volume = open(context);
  }
  if (!volume) {
    dlog() << kLogNoVolume << "\n";
    return false;
  }
  if (slot == volumes_.size()) {
    volumes_.push_back(volume);
    yielded_.push_back(0);
  } else {
    volumes_[slot] = volume;
    yielded_[slot] = 0;
    nextEviction_ = (slot + 1) % volumes_.size();
  }
  volume->walkReaches(walkReach_);
  volume->scanRoot();
  return true;
}

void FileCase::walkReaches(uint64_t position) {
  walkReach_ = position;
  for (const std::shared_ptr<Volume>& volume : volumes_) volume->walkReaches(position);
}

bool FileCase::hasVolumeAt(uint64_t start) const {
  for (const auto& volume : volumes_)
    if (volume->start() == start) return true;
  return false;
}

bool FileCase::directoryMet(uint64_t offset, uint64_t cluster) {
  // Indexing, not iterators: keep the walk valid even if a volume is
  // appended meanwhile.
  bool claimed = false;
  for (size_t i = 0; i < volumes_.size(); ++i) {
    std::shared_ptr<Volume> volume = volumes_[i];
    if (volume->scanDirectoryAt(offset, cluster)) claimed = true;
  }
  if (!claimed && cluster != Volume::kUnknownCluster && unclaimed_.size() < kMaxUnclaimed) {
    unclaimed_.push_back({offset, cluster});
    // A handler may open a volume; the list it is given does not change
    // meanwhile.
    const std::vector<UnclaimedDirectory> unclaimed = unclaimed_;
    for (const UnclaimedDirectoryHandler& handler : unclaimedHandlers_) handler(*this, unclaimed);
  }
  return claimed;
}

void FileCase::addUnclaimedDirectoryHandler(UnclaimedDirectoryHandler handler) {
  unclaimedHandlers_.push_back(std::move(handler));
}
