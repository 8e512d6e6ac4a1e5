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

}  // namespace

bool isCameraRawSize(uint64_t size) {
  for (uint64_t s : kCameraRawSizes)
    if (s == size) return true;
  return false;
}

NamedFileType namedFileType(const std::string& name, uint64_t size) {
  NamedFileType result;
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return result;
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
