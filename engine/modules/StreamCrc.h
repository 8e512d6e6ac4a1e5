// The checksums of Ogg pages and FLAC frames, all most-significant bit
// first with an initial value of 0.
#pragma once

#include <cstddef>
#include <cstdint>

// Ogg page checksum: polynomial 0x04C11DB7.
uint32_t oggCrc32(uint32_t crc, const uint8_t* bytes, size_t length);
// FLAC frame-header checksum: polynomial 0x07.
uint8_t flacCrc8(uint8_t crc, const uint8_t* bytes, size_t length);
// FLAC frame checksum: polynomial 0x8005.
uint16_t flacCrc16(uint16_t crc, const uint8_t* bytes, size_t length);
