#include "fat/Bitmap.h"

#include <stdexcept>

namespace {
void checkIndex(uint64_t index, uint64_t size) {
  if (index >= size) throw std::runtime_error("Bitmap(72)");
}
}  // namespace

Bitmap::Bitmap(uint64_t size) : bits_(size / 8 + (size % 8 ? 1 : 0), 0), size_(size) {}

bool Bitmap::get(uint64_t index) const {
  checkIndex(index, size_);
  return (bits_[index / 8] >> (index % 8)) & 1;
}

bool Bitmap::set(uint64_t index, bool value) {
  checkIndex(index, size_);
  uint8_t& byte = bits_[index / 8];
  uint8_t mask = static_cast<uint8_t>(1u << (index % 8));
  bool previous = (byte & mask) != 0;
  if (previous != value) {
    byte ^= mask;
    if (value)
      ++count_;
    else
      --count_;
  }
  return previous;
}

void Bitmap::fill(bool value) {
  for (auto& b : bits_) b = value ? 0xFF : 0;
  // Keep the bits past the end clear so that the storage compares equal.
  if (value && size_ % 8) bits_.back() = static_cast<uint8_t>((1u << (size_ % 8)) - 1);
  count_ = value ? size_ : 0;
}
