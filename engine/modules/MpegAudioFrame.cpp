#include "engine/modules/MpegAudioFrame.h"

namespace {

// Layer III bit rates in kbit/s by the 4-bit index (ISO/IEC 11172-3 and
// 13818-3); 0 marks the free-format and reserved indexes.
const uint16_t kBitRateMpeg1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
const uint16_t kBitRateMpeg2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
const uint32_t kSampleRateMpeg1[4] = {44100, 48000, 32000, 0};
const uint32_t kSampleRateMpeg2[4] = {22050, 24000, 16000, 0};

const unsigned kVersionMpeg1 = 3;
const unsigned kVersionMpeg2 = 2;
const unsigned kLayer3 = 1;
const unsigned kReservedEmphasis = 2;

}  // namespace

uint32_t mpegAudioFrameLength(const uint8_t* h) {
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return 0;
  unsigned version = (h[1] >> 3) & 3;
  if (((h[1] >> 1) & 3) != kLayer3) return 0;
  if (version != kVersionMpeg1 && version != kVersionMpeg2) return 0;
  if ((h[3] & 3) == kReservedEmphasis) return 0;
  bool mpeg1 = version == kVersionMpeg1;
  uint32_t kbps = (mpeg1 ? kBitRateMpeg1 : kBitRateMpeg2)[h[2] >> 4];
  uint32_t rate = (mpeg1 ? kSampleRateMpeg1 : kSampleRateMpeg2)[(h[2] >> 2) & 3];
  if (kbps == 0 || rate == 0) return 0;
  // 1152 samples per MPEG-1 frame, 576 per MPEG-2 frame, 8 bits a byte.
  // The length follows the frame's own sampling rate: a fixed 44100 Hz
  // would step into the middle of the next frame of any 48 or 32 kHz file.
  uint32_t samplesPerByte = mpeg1 ? 144 : 72;
  return samplesPerByte * kbps * 1000 / rate + ((h[2] >> 1) & 1);
}
