// The working state of one TIFF analysis: how far the file reaches, the
// images met on the way, and the camera's make and model.  One layout per
// analyze call; the module itself keeps nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One image of a TIFF file (a strip image or a JPEG stream).  Every field is
// kUnknown until a tag or the image data tells it.
struct TiffImage {
  static constexpr uint32_t kUnknown = UINT32_MAX;
  uint32_t offset = kUnknown;  // of the image data, from the file's first byte
  uint32_t size = kUnknown;    // bytes
  uint32_t width = kUnknown;
  uint32_t height = kUnknown;
  uint32_t bitsPerSample = kUnknown;
  uint32_t samples = kUnknown;
  uint32_t compression = kUnknown;  // TIFF code

  bool complete() const;
  bool geometryKnown() const;
  uint64_t area() const { return uint64_t(width) * height; }
  // False for uncompressed data that no thumbnail loader can take as it
  // stands: odd sample counts or depths, or a size that does not match the
  // geometry.  Compressed images are always usable.
  bool usable() const;
  // An 8-bit RGB uncompressed or a JPEG image: the previews we prefer.
  bool preferredPreview() const;
};

class TiffLayout {
 public:
  static constexpr uint32_t kMaxIfds = 1000;
  static constexpr uint32_t kMaxImages = 1000;

  // Nothing may reach beyond `limit` (the reader's size).
  explicit TiffLayout(uint64_t limit) : limit(limit) {}

  // The file reaches at least to `position`; false (and no change) when that
  // lies beyond the limit.
  bool extendTo(uint64_t position);
  // One more IFD visited; false at the one after kMaxIfds.
  bool countIfd();
  // False when the image is not complete or kMaxImages are held already.
  bool addImage(const TiffImage& image);
  // The image to show as the file's thumbnail, or -1: not the largest one
  // (the main picture) unless `keepLargest`; of the rest the smallest
  // preferred one, else the smallest usable one.  Earlier images win ties.
  int choosePreview(bool keepLargest) const;

  uint64_t end = 0;
  uint64_t limit;
  uint32_t ifdCount = 0;
  std::vector<TiffImage> images;
  std::string make;
  std::string model;
  // 1: the maker note is an IFD whatever the make (Minolta raw files).
  uint32_t makerNoteKind = 0;
  uint32_t makerThumbOffset = TiffImage::kUnknown;
  uint32_t makerThumbSize = TiffImage::kUnknown;
  // Where the Exif maker note's data lies (0 length: none), for the raw
  // formats that keep their preview in it.
  uint64_t makerNoteOffset = 0;
  uint64_t makerNoteLength = 0;
  // A preview that a raw format names by a tag of its own (offset and size
  // only; unknown when none).
  TiffImage namedPreview;
};
