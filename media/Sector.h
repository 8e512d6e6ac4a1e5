// The sector: the unit in which every medium is scanned and addressed.
// Cards and USB sticks present 512-byte sectors; all engine arithmetic
// (signature offsets, boot-sector geometry, cluster positions) counts in it.
#pragma once

#include <cstdint>

constexpr uint32_t kSectorBytes = 512;
