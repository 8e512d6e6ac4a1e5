// The collection of found files of the medium that is open.

#include "engine/FileCase.h"

#include <stdexcept>

#include "engine/PatternsFile.h"
#include "fat/FileSystemModules.h"
#include "fat/FsFat.h"
#include "media/ReaderReader.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"

FileCase::FileCase(const ConfigRecord& config) {
  registerFileSystemModules(registry_, this);
  PatternTable table;
  loadPatterns(config.getString("Program Path") + "/FsScanner.cfg", registry_, table);
  for (const Pattern& pattern : table) fsPatterns_[pattern.type()] = pattern;
}

FileCase::~FileCase() {
  // The file systems read through the medium reader: they go first.
  fileSystems_.clear();
  delete window_;
  delete reader_;
}

void FileCase::setReader(Reader* reader) {
  if (!reader) throw std::runtime_error("FileCase(60)");
  fileSystems_.clear();
  files_.clear();
  order_.clear();
  delete window_;
  window_ = nullptr;
  delete reader_;
  reader_ = reader;
  window_ = new ReaderReader(reader_);
}

Reader* FileCase::reader() const {
  if (!reader_) throw std::runtime_error("FileCase(54)");
  return reader_;
}

std::string FileCase::keyOf(const FileModule::File& file) {
  std::string key = std::to_string(file.offset);
  key += file.attributes.getString("t");
  key += std::to_string(file.size);
  if (file.attributes.getBool("fragmented", false)) key += "f";
  return key;
}

void FileCase::found(const FileModule::File& file) {
  std::string key = keyOf(file);
  auto inserted = files_.emplace(key, file);
  if (!inserted.second) return;  // the first report of a key wins
  order_.push_back(key);
  if (callback_) callback_->added(key, inserted.first->second);
}

const FileModule::File* FileCase::findFile(const std::string& key) const {
  auto it = files_.find(key);
  return it == files_.end() ? nullptr : &it->second;
}

Reader* FileCase::readerFor(const FileModule::File& file) {
  int32_t fs = file.attributes.getInt32("fs", -1);
  if (fs == -1) {
    if (!window_) throw std::runtime_error("FileCase(79)");
    if (!window_->setWindow(file.offset, file.size)) {
      dlog() << "FileCase(81): " << file.offset << " " << file.size << "\n";
      return nullptr;
    }
    return window_;
  }
  if (fs >= 0 && static_cast<size_t>(fs) < fileSystems_.size()) {
    Reader* reader = fileSystems_[fs]->readerFor(file.offset, file.size);
    if (!reader) {
      dlog() << "FileCase(92): " << fs << " " << file.offset << " " << file.size << "\n";
      return nullptr;
    }
    return reader;
  }
  dlog() << "FileCase(87): " << fs << " " << fileSystems_.size() << "\n";
  return nullptr;
}

bool FileCase::addFileSystem(const FatParameters& params) {
  if (!reader_) {
    dlog() << "FileCase(113)\n";
    return false;
  }
  auto fs = std::make_shared<FsFat>(reader_, &fsPatterns_, static_cast<int32_t>(fileSystems_.size()), this);
  if (!fs->init(params)) {
    dlog() << "FileCase(113)\n";
    return false;
  }
  fileSystems_.push_back(fs);
  fs->scanRoot();
  return true;
}

void FileCase::forEachFileSystem(uint64_t offset, uint64_t cluster) {
  // Indexing, not iterators: a directory scan may add nothing, but keep the
  // walk valid even if a volume is appended meanwhile.
  for (size_t i = 0; i < fileSystems_.size(); ++i) {
    std::shared_ptr<FsFat> fs = fileSystems_[i];
    fs->scanSubdirectory(offset, cluster);
  }
}
