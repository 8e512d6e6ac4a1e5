#include "engine/NamedFileType.h"

#include "shell/CString.h"

namespace {

const uint64_t kCameraRawSizes[] = {4771840, 2465792, 5865472, 5869568, 2940928};

// Extensions whose files get another type.
struct Renamed {
  const char* extension;
  const char* type;
};
const Renamed kRenamed[] = {{"jpg", "jpeg"}};

// Beyond the types that "FsScanner.cfg" lists: a name without an extension
// still needs a type for its key and its output name.
const char kNoExtension[] = "file";

}  // namespace

const char kAnyNamedFile[] = "*";

bool isCameraRawSize(uint64_t size) {
  for (uint64_t s : kCameraRawSizes)
    if (s == size) return true;
  return false;
}

NamedFileType namedFileType(const std::string& name, uint64_t size) {
  NamedFileType result;
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot + 1 == name.size()) {
    result.type = kNoExtension;
    return result;
  }
  result.lookup = asciiLower(name.substr(dot + 1));
  result.type = result.lookup;
  if (result.lookup == "jpg" && isCameraRawSize(size)) {
    result.raw = true;
    result.testContent = false;
    return result;
  }
  for (const Renamed& r : kRenamed)
    if (result.lookup == r.extension) result.type = r.type;
  return result;
}

const Pattern* fileSystemPattern(const PatternMap* patterns, const NamedFileType& named) {
  if (!patterns) return nullptr;
  if (!named.lookup.empty()) {
    auto found = patterns->find(named.lookup);
    if (found != patterns->end()) return &found->second;
  }
  auto any = patterns->find(kAnyNamedFile);
  return any == patterns->end() ? nullptr : &any->second;
}
