// Fuzzes loadThumbnailData: the first 36 bytes are the nine preview
// attributes as a file module would record them (signed 32-bit,
// little-endian, in the order of ThumbnailInfo), the rest is the found
// file.  Whatever it accepts must have exactly the length its geometry
// promises, so the decoder can never read past the data; a HEIF item
// becomes a file that holds the item's bytes.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/modules/PreviewAttributes.h"
#include "tests/support/MemoryReader.h"
#include "thumbs/ImageLoad.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 36) return 0;
  int32_t fields[9];
  memcpy(fields, data, sizeof fields);
  ThumbnailInfo info;
  info.offset = fields[0];
  info.size = fields[1];
  info.width = fields[2];
  info.height = fields[3];
  info.bitsPerSample = fields[4];
  info.samples = fields[5];
  info.compression = fields[6];
  info.configOffset = fields[7];
  info.configSize = fields[8];
  MemoryReader reader(data + 36, size - 36);
  std::vector<uint8_t> out;
  if (!loadThumbnailData(reader, 0, info, out)) {
    if (!out.empty()) __builtin_trap();
    return 0;
  }
  if (info.compression == 0 || info.compression == 1) {
    const std::string header = (info.samples == 1 ? "P5\n" : "P6\n") + std::to_string(info.width) +
                               " " + std::to_string(info.height) + "\n255\n";
    const uint64_t samples = static_cast<uint64_t>(info.width) * info.height * info.samples;
    if (out.size() != header.size() + samples) __builtin_trap();
    if (memcmp(out.data(), header.data(), header.size()) != 0) __builtin_trap();
  } else if (info.compression == kPreviewHevc || info.compression == kPreviewAv1) {
    if (out.size() < static_cast<uint64_t>(info.size + info.configSize)) __builtin_trap();
  } else if (out.size() != static_cast<uint64_t>(info.size)) {
    __builtin_trap();
  }
  return 0;
}
