// Movie proof: the box walk, the index and the starts of the samples.

#include "engine/modules/MovValidator.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "media/ByteCursor.h"
#include "media/Reader.h"

namespace {

const size_t kBlockBytes = 16384;
const uint64_t kHead = 8;

const char* const kTopLevel[] = {"ftyp", "moov", "mdat", "free", "skip", "wide", "pnot", "PICT", "uuid"};

bool isTopLevel(const char* type) {
  for (const char* name : kTopLevel)
    if (memcmp(type, name, 4) == 0) return true;
  return false;
}

struct Track {
  char format[5] = {};
  bool video = false;
  int lengthSize = 4;  // of the NAL unit lengths of H.264 and H.265 samples
  uint32_t fixedSize = 0;
  std::vector<uint32_t> sizes;
  uint64_t sampleCount = 0;
  std::vector<uint64_t> chunks;
  struct Run {
    uint32_t firstChunk, samplesPerChunk;
  };
  std::vector<Run> runs;
};

struct Sample {
  uint64_t offset;
  uint32_t size;
  uint16_t track;
};

enum class Content { kNone, kNal264, kNal265, kStartCode, kJpeg };

Content contentOf(const Track& t) {
  if (!t.video) return Content::kNone;
  std::string f(t.format, 4);
  if (f == "avc1" || f == "avc3") return Content::kNal264;
  if (f == "hvc1" || f == "hev1") return Content::kNal265;
  if (f == "mp4v") return Content::kStartCode;
  if (f == "jpeg" || f == "mjpa") return Content::kJpeg;
  return Content::kNone;
}

// Reads the boxes of the index; false on anything malformed, with the
// position where it showed.
class IndexReader {
 public:
  IndexReader(ByteCursor& cursor, uint32_t& boxes) : c_(cursor), boxes_(boxes) {}
  uint64_t failedAt = 0;

  // Each child box of [start, end): its type and payload range.
  bool children(uint64_t start, uint64_t end,
                const std::function<bool(const char* type, uint64_t from, uint64_t to)>& visit) {
    uint64_t pos = start;
    while (end - pos >= kHead) {
      uint8_t head[8];
      uint32_t size32 = 0;
      if (!c_.read(pos, head, 8) || ++boxes_ > MovValidator::kMaxBoxes) return fail(pos);
      size32 = uint32_t(head[0]) << 24 | uint32_t(head[1]) << 16 | uint32_t(head[2]) << 8 | head[3];
      uint64_t size = size32, header = kHead;
      if (size32 == 1) {
        if (!c_.be64(pos + 8, size)) return fail(pos);
        header = 16;
      } else if (size32 == 0) {
        size = end - pos;
      }
      if (size < header || size > end - pos) return fail(pos);
      char type[5] = {};
      memcpy(type, head + 4, 4);
      if (!visit(type, pos + header, pos + size)) return false;
      pos += size;
    }
    return true;
  }

  bool fail(uint64_t at) {
    failedAt = at;
    return false;
  }

  bool track(uint64_t from, uint64_t to, Track& t) {
    return children(from, to, [&](const char* type, uint64_t a, uint64_t b) {
      if (!memcmp(type, "mdia", 4) || !memcmp(type, "minf", 4) || !memcmp(type, "stbl", 4)) return track(a, b, t);
      if (!memcmp(type, "hdlr", 4)) {
        char handler[4];
        if (!c_.read(a + 8, handler, 4)) return fail(a);
        // QuickTime's media information has a data handler too: only the
        // media handler says "vide".
        if (!memcmp(handler, "vide", 4)) t.video = true;
        return true;
      }
      if (!memcmp(type, "stsd", 4)) return sampleDescription(a, b, t);
      if (!memcmp(type, "stsz", 4)) return sampleSizes(a, b, t);
      if (!memcmp(type, "stco", 4) || !memcmp(type, "co64", 4)) return chunkOffsets(a, b, type[0] == 'c', t);
      if (!memcmp(type, "stsc", 4)) return sampleToChunk(a, b, t);
      return true;
    });
  }

  bool sampleDescription(uint64_t a, uint64_t b, Track& t) {
    uint32_t count = 0;
    if (b - a < 16 || !c_.be32(a + 4, count) || count == 0) return fail(a);
    uint32_t entrySize = 0;
    if (!c_.be32(a + 8, entrySize) || !c_.read(a + 12, t.format, 4)) return fail(a);
    // The decoder configuration of a visual sample entry follows its 78
    // bytes of fixed fields.
    const uint64_t entry = a + 8, fixed = 8 + 78;
    if (entrySize < fixed || entrySize > b - entry) return true;
    Content content = contentOf(t);
    if (content != Content::kNal264 && content != Content::kNal265) return true;
    return children(entry + fixed, entry + entrySize, [&](const char* type, uint64_t x, uint64_t y) {
      uint8_t v = 0;
      if (!memcmp(type, "avcC", 4) && c_.u8(x + 4, v)) t.lengthSize = (v & 3) + 1;
      if (!memcmp(type, "hvcC", 4) && c_.u8(x + 21, v)) t.lengthSize = (v & 3) + 1;
      return true;
    });
  }

  bool sampleSizes(uint64_t a, uint64_t b, Track& t) {
    if (b - a < 12) return fail(a);
    uint32_t fixed = 0, count = 0;
    if (!c_.be32(a + 4, fixed) || !c_.be32(a + 8, count) || count > MovValidator::kMaxSamples) return fail(a);
    t.fixedSize = fixed;
    t.sampleCount = count;
    if (fixed) return true;
    if (uint64_t(count) * 4 > b - a - 12) return fail(a);
    t.sizes.resize(count);
    for (uint32_t i = 0; i < count; ++i)
      if (!c_.be32(a + 12 + 4 * uint64_t(i), t.sizes[i])) return fail(a);
    return true;
  }

  bool chunkOffsets(uint64_t a, uint64_t b, bool wide, Track& t) {
    if (b - a < 8) return fail(a);
    uint32_t count = 0;
    uint64_t width = wide ? 8 : 4;
    if (!c_.be32(a + 4, count) || count > MovValidator::kMaxSamples || count * width > b - a - 8) return fail(a);
    t.chunks.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
      uint64_t at = a + 8 + width * i;
      uint32_t narrow = 0;
      if (wide ? !c_.be64(at, t.chunks[i]) : !c_.be32(at, narrow)) return fail(a);
      if (!wide) t.chunks[i] = narrow;
    }
    return true;
  }

  bool sampleToChunk(uint64_t a, uint64_t b, Track& t) {
    if (b - a < 8) return fail(a);
    uint32_t count = 0;
    if (!c_.be32(a + 4, count) || count > MovValidator::kMaxSamples || uint64_t(count) * 12 > b - a - 8)
      return fail(a);
    t.runs.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
      Track::Run& r = t.runs[i];
      if (!c_.be32(a + 8 + 12 * uint64_t(i), r.firstChunk) || !c_.be32(a + 12 + 12 * uint64_t(i), r.samplesPerChunk))
        return fail(a);
      if (r.firstChunk == 0 || (i && r.firstChunk <= t.runs[i - 1].firstChunk)) return fail(a);
    }
    return true;
  }

 private:
  ByteCursor& c_;
  uint32_t& boxes_;
};

// Where each sample of a track lies; false when the tables disagree.
bool placeSamples(const Track& t, uint16_t index, std::vector<Sample>& out) {
  if (!t.fixedSize && t.sizes.size() != t.sampleCount) return false;
  if (out.size() + t.sampleCount > MovValidator::kMaxSamples) return false;
  uint64_t sample = 0;
  for (size_t r = 0; r < t.runs.size() && sample < t.sampleCount; ++r) {
    uint64_t last = r + 1 < t.runs.size() ? t.runs[r + 1].firstChunk - 1 : t.chunks.size();
    for (uint64_t chunk = t.runs[r].firstChunk; chunk <= last && sample < t.sampleCount; ++chunk) {
      if (chunk > t.chunks.size()) return false;
      uint64_t at = t.chunks[chunk - 1];
      for (uint32_t i = 0; i < t.runs[r].samplesPerChunk && sample < t.sampleCount; ++i, ++sample) {
        uint32_t size = t.fixedSize ? t.fixedSize : t.sizes[sample];
        out.push_back({at, size, index});
        if (size > UINT64_MAX - at) return false;
        at += size;
      }
    }
  }
  return sample == t.sampleCount;
}

// The start of a video sample as its codec lays it out; `verified` is how
// far bytes were looked at.
bool sampleLooksRight(ByteCursor& c, const Sample& s, const Track& t, uint64_t& verified) {
  const uint64_t end = s.offset + s.size;
  switch (contentOf(t)) {
    case Content::kNone: return true;
    case Content::kStartCode: {
      uint8_t b[3];
      verified = s.offset + 3;
      return s.size >= 4 && c.read(s.offset, b, 3) && b[0] == 0 && b[1] == 0 && b[2] == 1;
    }
    case Content::kJpeg: {
      uint8_t b[2];
      verified = s.offset + 2;
      return s.size >= 4 && c.read(s.offset, b, 2) && b[0] == 0xFF && b[1] == 0xD8;
    }
    case Content::kNal264:
    case Content::kNal265: break;
  }
  const bool hevc = contentOf(t) == Content::kNal265;
  const uint64_t lengthSize = t.lengthSize;
  uint64_t pos = s.offset;
  for (uint32_t n = 0; pos < end; ++n) {
    uint8_t b[6] = {};
    if (n >= MovValidator::kMaxNalUnits || end - pos < lengthSize + 2 || !c.read(pos, b, lengthSize + 2)) return false;
    uint64_t length = 0;
    for (uint64_t i = 0; i < lengthSize; ++i) length = length << 8 | b[i];
    uint8_t h0 = b[lengthSize], h1 = b[lengthSize + 1];
    verified = pos + lengthSize + 2;
    if (length < 2 || length > end - pos - lengthSize || (h0 & 0x80)) return false;
    if (hevc) {
      int type = (h0 >> 1) & 0x3F;
      if (type > 40 || (h1 & 7) == 0) return false;
    } else {
      int type = h0 & 0x1F;
      if (type == 0 || type > 23) return false;
    }
    pos += lengthSize + length;
  }
  return true;
}

FormatProof brokenAt(uint64_t at, uint64_t sound) {
  FormatProof proof;
  proof.verdict = FormatProof::kBroken;
  proof.failedAt = at;
  proof.soundUntil = std::min(sound, at);
  return proof;
}

}  // namespace

constexpr uint32_t MovValidator::kMaxBoxes;
constexpr uint64_t MovValidator::kMaxSamples;
constexpr uint32_t MovValidator::kMaxNalUnits;
constexpr uint32_t MovValidator::kMaxTracks;

FormatProof MovValidator::check(Reader& file, uint64_t, bool) {
  ByteCursor c(file, UINT64_MAX, kBlockBytes);
  struct Reads {
    ByteCursor& c;
    uint64_t& total;
    ~Reads() { total += c.readsMade(); }
  } reads{c, reads_};

  // The top-level walk, to the first box that is not a movie's.
  std::vector<std::pair<uint64_t, uint64_t>> media;  // payloads of the "mdat" boxes
  uint64_t pos = 0, moov = 0, moovEnd = 0;
  uint32_t boxes = 0;
  while (c.size() >= kHead && pos <= c.size() - kHead) {
    uint8_t head[8];
    if (!c.read(pos, head, 8)) break;
    char type[4];
    memcpy(type, head + 4, 4);
    if (!isTopLevel(type)) break;
    if (++boxes > kMaxBoxes) return brokenAt(pos, 0);
    uint64_t size = uint64_t(head[0]) << 24 | uint64_t(head[1]) << 16 | uint64_t(head[2]) << 8 | head[3];
    uint64_t header = kHead;
    if (size == 1) {
      if (!c.be64(pos + 8, size)) return brokenAt(pos, pos);
      header = 16;
    }
    if (size == 0) return FormatProof();  // runs to an end nobody wrote down
    if (size < header) return brokenAt(pos, pos);
    if (size > c.size() - pos) {
      // Data that runs past what was read: its index, when it comes after
      // it, is expected where it ends.
      if (memcmp(type, "mdat", 4) || moovEnd || size > UINT64_MAX - pos) return brokenAt(c.size(), pos);
      FormatProof proof = brokenAt(pos + size, pos + header);
      proof.expected = "moov";
      proof.expectedAt = 4;
      return proof;
    }
    if (!memcmp(type, "mdat", 4)) media.push_back({pos + header, pos + size});
    if (!memcmp(type, "moov", 4) && !moovEnd) {
      moov = pos + header;
      moovEnd = pos + size;
    }
    pos += size;
  }
  const uint64_t end = pos;
  if (boxes < 2) return brokenAt(end, 0);
  if (!moovEnd) {
    // The index of a movie written front to back follows its data.
    FormatProof proof = brokenAt(end, media.empty() ? end : media.back().first);
    proof.expected = "moov";
    proof.expectedAt = 4;
    return proof;
  }

  // The index.
  std::vector<Track> tracks;
  uint32_t indexBoxes = 0;
  IndexReader index(c, indexBoxes);
  bool read = index.children(moov, moovEnd, [&](const char* type, uint64_t a, uint64_t b) {
    if (memcmp(type, "trak", 4)) return true;
    if (tracks.size() >= kMaxTracks) return index.fail(a);
    tracks.emplace_back();
    return index.track(a, b, tracks.back());
  });
  // A break inside the index shows only as an index that does not hold
  // together, wherever in it the break lies.
  if (!read) return brokenAt(moovEnd, moov);
  std::vector<Sample> samples;
  for (size_t i = 0; i < tracks.size(); ++i)
    if (!placeSamples(tracks[i], uint16_t(i), samples)) return brokenAt(moovEnd, moov);
  std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.offset < b.offset; });

  // Every sample inside the media data, in order, each video sample
  // starting as its codec starts one.
  uint64_t verified = 0, previousEnd = 0;
  size_t m = 0;
  for (const Sample& s : samples) {
    while (m < media.size() && media[m].second <= s.offset) ++m;
    if (m == media.size() || s.offset < media[m].first || s.size > media[m].second - s.offset ||
        s.offset < previousEnd)
      return brokenAt(std::min(s.offset, c.size()), verified);
    uint64_t looked = verified;
    if (!sampleLooksRight(c, s, tracks[s.track], looked)) return brokenAt(std::max(looked, s.offset + 1), verified);
    verified = std::max(verified, looked);
    previousEnd = s.offset + s.size;
  }
  FormatProof proof;
  proof.verdict = FormatProof::kProven;
  proof.end = end;
  return proof;
}
