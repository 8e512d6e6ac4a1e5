// The collection of found files of the medium that is open.
//
// Found files from the signature scanner and the FAT scan are filed under
// a key of offset, type and size (plus "f" when fragmented); the first
// report of a key wins.  The case owns the medium's reader and hands out a
// reader positioned on any found file.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/FileModule.h"
#include "engine/FileModuleRegistry.h"
#include "engine/Pattern.h"
#include "engine/Scanner.h"

class ConfigRecord;
class FsFat;
class Reader;
class ReaderReader;
struct FatParameters;

class FileCase : public Scanner::Callback {
 public:
  class Callback {
   public:
    virtual ~Callback() {}
    virtual void added(const std::string& key, const FileModule::File& file) = 0;
  };

  // Builds the registry and loads "FsScanner.cfg" from "Program Path".
  explicit FileCase(const ConfigRecord& config);
  ~FileCase() override;

  // Takes ownership; empties the case.  Throws "FileCase(60)" on null.
  void setReader(Reader* reader);
  // Throws "FileCase(54)" when there is none.
  Reader* reader() const;
  FileModuleRegistry* registry() { return &registry_; }
  void setCallback(Callback* callback) { callback_ = callback; }

  void found(const FileModule::File& file) override;
  static std::string keyOf(const FileModule::File& file);
  const FileModule::File* findFile(const std::string& key) const;
  const std::map<std::string, FileModule::File>& files() const { return files_; }
  // Files in the order they were added.
  const std::vector<std::string>& order() const { return order_; }

  // A reader over the found file, owned by the case and re-aimed by the
  // next call; null when the file cannot be read.
  Reader* readerFor(const FileModule::File& file);

  // Called by the "BootSector" module.
  bool addFileSystem(const FatParameters& params);
  // Called by the "Subdirectory" module with the medium position of a
  // directory cluster and the cluster of its "." entry.
  void forEachFileSystem(uint64_t offset, uint64_t cluster);
  size_t fileSystemCount() const { return fileSystems_.size(); }
  FsFat* fileSystem(size_t index) const { return fileSystems_[index].get(); }
  const PatternMap& fileSystemPatterns() const { return fsPatterns_; }

 private:
  Reader* reader_ = nullptr;
  ReaderReader* window_ = nullptr;
  FileModuleRegistry registry_;
  PatternMap fsPatterns_;
  std::vector<std::shared_ptr<FsFat>> fileSystems_;
  std::map<std::string, FileModule::File> files_;
  std::vector<std::string> order_;
  Callback* callback_ = nullptr;
};
