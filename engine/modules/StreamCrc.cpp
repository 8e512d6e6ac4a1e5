#include "engine/modules/StreamCrc.h"

#include <array>

namespace {

template <typename T, T kPolynomial>
std::array<T, 256> table() {
  std::array<T, 256> t{};
  const unsigned kTop = sizeof(T) * 8 - 1;
  for (unsigned i = 0; i < 256; ++i) {
    T value = T(T(i) << (kTop - 7));
    for (int bit = 0; bit < 8; ++bit) value = T(value >> kTop & 1 ? T(value << 1) ^ kPolynomial : T(value << 1));
    t[i] = value;
  }
  return t;
}

template <typename T, T kPolynomial>
T update(T crc, const uint8_t* bytes, size_t length) {
  static const std::array<T, 256> kTable = table<T, kPolynomial>();
  const unsigned kShift = sizeof(T) * 8 - 8;
  for (size_t i = 0; i < length; ++i) crc = T(T(crc << 8) ^ kTable[uint8_t(crc >> kShift ^ bytes[i])]);
  return crc;
}

}  // namespace

uint32_t oggCrc32(uint32_t crc, const uint8_t* bytes, size_t length) {
  return update<uint32_t, 0x04C11DB7>(crc, bytes, length);
}

uint8_t flacCrc8(uint8_t crc, const uint8_t* bytes, size_t length) { return update<uint8_t, 0x07>(crc, bytes, length); }

uint16_t flacCrc16(uint16_t crc, const uint8_t* bytes, size_t length) {
  return update<uint16_t, 0x8005>(crc, bytes, length);
}
