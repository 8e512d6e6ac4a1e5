// FLAC audio frames: the frame header, and the length of a whole frame
// found by walking its subframes bit by bit (for the last frame of a
// stream, which no following frame header delimits).
#pragma once

#include <cstdint>

class ByteCursor;

struct FlacFrameHeader {
  bool variable = false;    // blocking strategy: the number counts samples, not frames
  uint64_t number = 0;      // frame number, or number of the first sample
  uint32_t blockSize = 0;   // samples per channel
  unsigned channels = 0;
  unsigned assignment = 0;  // the channels bits: 8 to 10 are the stereo decorrelations
  unsigned bitsPerSample = 0;  // 0: the stream information's
  unsigned bytes = 0;       // the header's length, its checksum included
};

// The frame header at `position`, its checksum verified.  False when the
// bytes there are not one.
bool readFlacFrameHeader(ByteCursor& cursor, uint64_t position, FlacFrameHeader& header);

// The length of the frame at `position` whose header is `header`, by its
// subframes, when its checksum holds; 0 otherwise.  `bitsPerSample` is the
// stream's, used when the header leaves it out.  No read goes past `limit`.
uint64_t flacFrameLength(ByteCursor& cursor, uint64_t position, uint64_t limit, const FlacFrameHeader& header,
                         unsigned bitsPerSample);
