// MPEG audio Layer III frame headers (MPEG-1 and MPEG-2): the test that a
// 4-byte header starts a frame, and the frame's length.
#pragma once

#include <cstdint>

// Length in bytes of the Layer III frame whose header is `header[0..3]`, or
// 0 when the bytes are not such a header: sync bits, layer, MPEG-1 or
// MPEG-2, bit-rate index 1 to 14, a defined sampling rate and an emphasis
// other than the reserved value.  MPEG-2.5 and free-format frames are not
// taken.
uint32_t mpegAudioFrameLength(const uint8_t* header);
