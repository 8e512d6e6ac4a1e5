// JPEG (JFIF and Exif) files: walks the marker segments and the
// entropy-coded data up to the end-of-image marker.  Registered as "jpeg".
#pragma once

#include "engine/FileModule.h"

class ByteCursor;

// What a JPEG stream's frame header says about its picture.
struct JpegGeometry {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitsPerSample = 0;
  uint32_t samples = 0;
};

class FileModuleJpeg : public FileModule {
 public:
  // The first three bytes are FF D8 FF.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // On success the size is the end of the end-of-image marker and "t" is
  // "jpeg".  A truncated or malformed file, or one longer than the reader,
  // is refused.  Runs of 0xFF fill bytes before a marker code are skipped.
  bool analyze(Reader& reader, File& file) override;

  static constexpr uint32_t kPieceSize = 65536;

  // The frame header of the JPEG stream that starts at `position`: walks the
  // marker segments from the start-of-image marker to the first
  // start-of-frame marker (any coding process).  kNoFrame when a start of
  // scan comes first; kBad when there is no start-of-image marker, a marker
  // is missing or a read fails.  Reads only the segment heads, at most
  // kMaxFrameMarkers of them.
  enum class Frame { kFound, kNoFrame, kBad };
  static Frame readGeometry(ByteCursor& cursor, uint64_t position, JpegGeometry& geometry);
  static constexpr uint32_t kMaxFrameMarkers = 1000;
};
