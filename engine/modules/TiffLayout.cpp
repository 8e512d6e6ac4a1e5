#include "engine/modules/TiffLayout.h"

bool TiffImage::complete() const {
  return offset != kUnknown && size != kUnknown && compression != kUnknown && geometryKnown();
}

bool TiffImage::geometryKnown() const {
  return width != kUnknown && height != kUnknown && bitsPerSample != kUnknown && samples != kUnknown;
}

bool TiffImage::usable() const {
  if (compression != 0 && compression != 1) return true;
  if (samples != 1 && samples != 3) return false;
  // Four 32-bit factors: 128 bits hold the product.
  unsigned __int128 bits = static_cast<unsigned __int128>(bitsPerSample) * width * height * samples;
  if ((bits + 7) / 8 != size) return false;
  if (compression == 0) return bitsPerSample == 8;
  return bitsPerSample == 8 || bitsPerSample == 16;
}

bool TiffImage::preferredPreview() const {
  if (compression == 6 || compression == 7) return true;
  return compression == 1 && samples == 3 && bitsPerSample == 8;
}

bool TiffLayout::extendTo(uint64_t position) {
  if (position <= end) return true;
  if (position > limit) return false;
  end = position;
  return true;
}

bool TiffLayout::countIfd() { return ++ifdCount <= kMaxIfds; }

bool TiffLayout::addImage(const TiffImage& image) {
  if (!image.complete() || images.size() >= kMaxImages) return false;
  images.push_back(image);
  return true;
}

int TiffLayout::choosePreview(bool keepLargest) const {
  int largest = -1;
  if (!keepLargest)
    for (size_t i = 0; i < images.size(); ++i)
      if (largest < 0 || images[i].area() > images[largest].area()) largest = static_cast<int>(i);
  int preferred = -1;
  int any = -1;
  for (size_t i = 0; i < images.size(); ++i) {
    const TiffImage& image = images[i];
    if (static_cast<int>(i) == largest || !image.usable()) continue;
    if (any < 0 || image.area() < images[any].area()) any = static_cast<int>(i);
    if (image.preferredPreview() && (preferred < 0 || image.area() < images[preferred].area()))
      preferred = static_cast<int>(i);
  }
  return preferred >= 0 ? preferred : any;
}
