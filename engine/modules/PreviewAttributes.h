// The "thumbnail_*" attributes of a found file whose format carries a
// preview picture of its own (HEIF thumbnails, Canon raw previews).
#pragma once

#include <cstdint>

#include "engine/Attributes.h"

struct EmbeddedPreview {
  uint64_t offset = 0;  // from the found file's first byte
  uint64_t size = 0;
  uint32_t width = 0, height = 0;  // 0: not known
  // 6 for JPEG data; for a picture coded as a HEIF item, its item type as a
  // big-endian number ("hvc1", "av01"), which needs its decoder
  // configuration box as well.
  uint32_t compression = 6;
  uint64_t configOffset = 0, configSize = 0;
};

// Item types of HEIF previews, as "thumbnail_compression" values.
constexpr uint32_t kPreviewHevc = 0x68766331;  // "hvc1"
constexpr uint32_t kPreviewAv1 = 0x61763031;   // "av01"

// Sets the attributes when the preview (and its configuration box) lies
// inside the first `fileSize` bytes at a place the attributes can hold
// (signed 32 bits, as the thumbnail loader reads them).  False otherwise,
// and then nothing is set.
inline bool setPreviewAttributes(Attributes& attributes, const EmbeddedPreview& preview, uint64_t fileSize) {
  const uint64_t kLimit = INT32_MAX;
  auto inside = [&](uint64_t offset, uint64_t size) {
    return size > 0 && offset <= fileSize && size <= fileSize - offset && offset + size <= kLimit;
  };
  bool configured = preview.compression != kPreviewHevc && preview.compression != kPreviewAv1;
  if (!inside(preview.offset, preview.size) || (!configured && !inside(preview.configOffset, preview.configSize)))
    return false;
  attributes.setInt32("thumbnail_offset", int32_t(preview.offset));
  attributes.setInt32("thumbnail_size", int32_t(preview.size));
  if (preview.width && preview.height && preview.width <= kLimit && preview.height <= kLimit) {
    attributes.setInt32("thumbnail_width", int32_t(preview.width));
    attributes.setInt32("thumbnail_height", int32_t(preview.height));
  }
  attributes.setInt32("thumbnail_compression", int32_t(preview.compression));
  if (!configured) {
    attributes.setInt32("thumbnail_config_offset", int32_t(preview.configOffset));
    attributes.setInt32("thumbnail_config_size", int32_t(preview.configSize));
  }
  return true;
}
