#include "tests/recover/RecoverFixtures.h"

#include <dirent.h>

#include <algorithm>

std::vector<std::string> RecoverTempDir::names() const {
  std::vector<std::string> out;
  DIR* dir = opendir(path_.c_str());
  if (!dir) return out;
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") out.push_back(name);
  }
  closedir(dir);
  std::sort(out.begin(), out.end());
  return out;
}
