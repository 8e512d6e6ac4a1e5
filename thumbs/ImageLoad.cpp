// Embedded previews: raw samples become a PGM/PPM picture, encoded data
// passes through.

#include "thumbs/ImageLoad.h"

#include <string>

#include "engine/Attributes.h"
#include "engine/modules/PreviewAttributes.h"
#include "media/Reader.h"
#include "shell/DebugLog.h"
#include "thumbs/HeifPreview.h"

ThumbnailInfo thumbnailInfoOf(const Attributes& a) {
  ThumbnailInfo info;
  info.offset = a.getInt32("thumbnail_offset", -1);
  info.size = a.getInt32("thumbnail_size", -1);
  info.width = a.getInt32("thumbnail_width", -1);
  info.height = a.getInt32("thumbnail_height", -1);
  info.bitsPerSample = a.getInt32("thumbnail_bits_per_sample", -1);
  info.samples = a.getInt32("thumbnail_samples", -1);
  info.compression = a.getInt32("thumbnail_compression", -1);
  info.configOffset = a.getInt32("thumbnail_config_offset", -1);
  info.configSize = a.getInt32("thumbnail_config_size", -1);
  return info;
}

namespace {

bool readStored(Reader& reader, uint64_t base, const ThumbnailInfo& info,
                std::vector<uint8_t>& bytes) {
  const uint64_t at = base + static_cast<uint64_t>(info.offset);
  if (at < base) return false;  // past the end of any medium
  bytes.resize(static_cast<size_t>(info.size));
  return reader.read(at, bytes.data(), bytes.size());
}

// Raw samples with a PGM/PPM header in front.
bool loadRawSamples(Reader& reader, uint64_t base, const ThumbnailInfo& info,
                    std::vector<uint8_t>& out) {
  if (info.samples != 1 && info.samples != 3) {
    dlog() << "ImageLoad(45)\n";
    return false;
  }
  // Computed wide: the factors come from the medium and their product
  // must not wrap round to a plausible size.
  if (info.width < 1 || info.height < 1 || info.bitsPerSample < 1 ||
      (static_cast<unsigned __int128>(info.bitsPerSample) * info.width * info.height *
           info.samples + 7) / 8 != static_cast<unsigned __int128>(info.size)) {
    dlog() << "ImageLoad(48)\n";
    return false;
  }
  const uint64_t pixels = static_cast<uint64_t>(info.width) * static_cast<uint64_t>(info.height);
  const uint64_t sampleBytes = pixels * static_cast<uint64_t>(info.samples);
  const std::string header = "P" + std::to_string(info.samples == 1 ? 5 : 6) + "\n" +
                             std::to_string(info.width) + " " + std::to_string(info.height) +
                             "\n255\n";
  std::vector<uint8_t> stored;
  if (info.compression == 1) {
    if (info.bitsPerSample != 8 && info.bitsPerSample != 16) {
      dlog() << "ImageLoad(54)\n";
      return false;
    }
    if (!readStored(reader, base, info, stored)) {
      dlog() << "ImageLoad(56)\n";
      return false;
    }
    out.assign(header.begin(), header.end());
    if (info.bitsPerSample == 8) {
      out.insert(out.end(), stored.begin(), stored.end());
    } else {
      // Little-endian 16-bit samples: the high byte carries the picture.
      out.reserve(header.size() + sampleBytes);
      for (uint64_t i = 1; i < stored.size(); i += 2) out.push_back(stored[i]);
    }
    return true;
  }
  if (info.bitsPerSample != 8) {
    dlog() << "ImageLoad(72)\n";
    return false;
  }
  if (!readStored(reader, base, info, stored)) {
    dlog() << "ImageLoad(74)\n";
    return false;
  }
  // Planar: all first samples, then all second samples, ...
  out.assign(header.begin(), header.end());
  out.resize(header.size() + sampleBytes);
  uint8_t* to = out.data() + header.size();
  for (uint64_t p = 0; p < pixels; ++p)
    for (uint64_t s = 0; s < static_cast<uint64_t>(info.samples); ++s)
      *to++ = stored[p + s * pixels];
  return true;
}

// A HEIF item with its configuration box, as a HEIF file of its own.
bool loadHeifItem(Reader& reader, uint64_t base, const ThumbnailInfo& info, std::vector<uint8_t>& out) {
  if (info.configOffset < 0 || info.configSize < 8 || info.configSize > int64_t(kMaxHeifConfigBytes) ||
      info.width < 1 || info.height < 1 || info.width > UINT32_MAX || info.height > UINT32_MAX) {
    dlog() << "ImageLoad(110)\n";
    return false;
  }
  ThumbnailInfo where = info;
  where.offset = info.configOffset;
  where.size = info.configSize;
  std::vector<uint8_t> config, data;
  if (!readStored(reader, base, where, config) || !readStored(reader, base, info, data)) {
    dlog() << "ImageLoad(118)\n";
    return false;
  }
  if (!wrapHeifPreview(uint32_t(info.compression), config, uint32_t(info.width), uint32_t(info.height), data, out)) {
    dlog() << "ImageLoad(122)\n";
    return false;
  }
  return true;
}

}  // namespace

bool loadThumbnailData(Reader& reader, uint64_t base, const ThumbnailInfo& info,
                       std::vector<uint8_t>& out) {
  out.clear();
  if (info.offset < 0 || info.size < 1 || info.size > kMaxThumbnailBytes) {
    dlog() << "ImageLoad(42)\n";
    return false;
  }
  bool ok;
  if (info.compression == 0 || info.compression == 1) {
    ok = loadRawSamples(reader, base, info, out);
  } else if (info.compression == kPreviewHevc || info.compression == kPreviewAv1) {
    ok = loadHeifItem(reader, base, info, out);
  } else {
    if (info.compression != 6) dlog() << "ImageLoad(96): " << info.compression << "\n";
    ok = readStored(reader, base, info, out);
    if (!ok) dlog() << "ImageLoad(92)\n";
  }
  if (!ok) out.clear();
  return ok;
}
