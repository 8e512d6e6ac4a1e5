// A fixed-size array of bits with an exact count of the bits set.
#pragma once

#include <cstdint>
#include <vector>

class Bitmap {
 public:
  // All bits clear.  The storage is size / 8 bytes rounded up: callers cap
  // `size` by what the medium can hold before creating one.
  explicit Bitmap(uint64_t size = 0);

  uint64_t size() const { return size_; }
  uint64_t count() const { return count_; }
  // Both throw std::runtime_error "Bitmap(72)" for an index at or beyond size().
  bool get(uint64_t index) const;
  // Stores the bit and returns its previous value.
  bool set(uint64_t index, bool value);
  // Sets or clears every bit.
  void fill(bool value);

 private:
  std::vector<uint8_t> bits_;
  uint64_t size_ = 0;
  uint64_t count_ = 0;
};
