// A private scratch folder for one test, removed with everything in it.
#pragma once

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <string>
#include <vector>

namespace mzktest {

class TempDir {
 public:
  explicit TempDir(const char* prefix = "mzk-test") {
    std::string templ = std::string("/tmp/") + prefix + "-XXXXXX";
    std::vector<char> buffer(templ.begin(), templ.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data())) path_ = buffer.data();
  }
  ~TempDir() {
    if (!path_.empty()) nftw(path_.c_str(), &TempDir::removeOne, 16, FTW_DEPTH | FTW_PHYS);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(file(name), std::ios::binary);
    out << bytes;
  }
  bool exists(const std::string& name) const {
    struct stat st;
    return lstat(file(name).c_str(), &st) == 0;
  }
  // Names in the folder, sorted.
  std::vector<std::string> names() const {
    std::vector<std::string> result;
    if (DIR* dir = opendir(path_.c_str())) {
      while (struct dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") result.push_back(name);
      }
      closedir(dir);
    }
    std::sort(result.begin(), result.end());
    return result;
  }

 private:
  static int removeOne(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
  }
  std::string path_;
};

}  // namespace mzktest
