#include "tests/support/CarveImage.h"

#include "tests/support/MemoryReader.h"
#include "tests/support/ScannedCase.h"
#include "tests/support/Tools.h"

namespace mzktest {

void CarveImage::pad(unsigned sectors) {
  size_t rest = (512 - image_.size() % 512) % 512;
  image_ += noise(rest + 512 * size_t(sectors), seed_++);
}

uint64_t CarveImage::add(const std::string& name, const std::string& bytes, unsigned gapSectors) {
  pad(gapSectors);
  uint64_t offset = image_.size();
  image_ += bytes;
  files_.push_back({name, offset, bytes});
  return offset;
}

std::vector<FileModule::File> scanImage(const std::string& image) {
  ScannedCase scanned(new MemoryReader(image.data(), image.size()));
  std::vector<FileModule::File> files;
  for (const std::string& key : scanned.fileCase().order()) files.push_back(*scanned.fileCase().findFile(key));
  return files;
}

const FileModule::File* foundAt(const std::vector<FileModule::File>& files, uint64_t offset, const std::string& type) {
  for (const FileModule::File& file : files)
    if (file.offset == offset && file.attributes.getString("t") == type) return &file;
  return nullptr;
}

}  // namespace mzktest
