// Embedded previews of found files: where the file modules say a preview
// lies, and its bytes in a form the image library decodes.
#pragma once

#include <cstdint>
#include <vector>

class Attributes;
class Reader;

// The seven "thumbnail_*" attributes of a found file; -1 where it lacks one.
struct ThumbnailInfo {
  int64_t offset = -1;         // "thumbnail_offset": bytes into the found file
  int64_t size = -1;           // "thumbnail_size": bytes stored
  int64_t width = -1;          // "thumbnail_width": pixels
  int64_t height = -1;         // "thumbnail_height": pixels
  int64_t bitsPerSample = -1;  // "thumbnail_bits_per_sample": 8 or 16 for raw samples
  int64_t samples = -1;        // "thumbnail_samples": 1 grey, 3 RGB
  int64_t compression = -1;    // 0 raw planar, 1 raw interleaved, 6 JPEG, "hvc1"/"av01": a HEIF item, other: encoded data
  // "thumbnail_config_offset", "thumbnail_config_size": the decoder
  // configuration box of a HEIF item.
  int64_t configOffset = -1;
  int64_t configSize = -1;
};

ThumbnailInfo thumbnailInfoOf(const Attributes& attributes);

// The most bytes a preview may occupy; larger claims are refused unread.
constexpr int64_t kMaxThumbnailBytes = 9999999;

// Reads the preview stored at base + info.offset of `reader` into `out`.
// Raw samples (compression 0 or 1) become a binary PGM (one sample) or PPM
// (three samples) with 8 bits per sample; a HEIF item (HEVC or AV1 coded)
// becomes a HEIF file of its own; any other compression is returned as
// stored.  The stored size must match the geometry exactly for
// raw samples, so a damaged attribute cannot make the decoder read past
// the data.  False (with a debug-log line, and `out` empty) on refusal or a
// failed read.
bool loadThumbnailData(Reader& reader, uint64_t base, const ThumbnailInfo& info,
                       std::vector<uint8_t>& out);
