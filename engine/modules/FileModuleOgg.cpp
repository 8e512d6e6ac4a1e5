#include "engine/modules/FileModuleOgg.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/modules/NameAttribute.h"
#include "engine/modules/StreamCrc.h"
#include "engine/modules/VorbisComment.h"
#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

const uint64_t kHeadBytes = 27;  // before the segment table
const uint8_t kContinued = 0x01, kBeginning = 0x02, kEnding = 0x04;
const size_t kMaxStreams = 64;
const size_t kMaxCommentBytes = 65536;  // of the comment packet, enough for a title
const uint64_t kMaxPages = 1ull << 32;  // far beyond the largest file of 4 GiB

struct Page {
  uint8_t flags = 0;
  uint32_t serial = 0;
  uint8_t segments = 0;
  uint8_t lacing[255] = {};
  uint64_t bodyBytes = 0;
  uint64_t size = 0;  // head, segment table and body
};

// The page at `position`, its checksum verified; `body` receives its data.
bool readPage(ByteCursor& cursor, uint64_t position, Page& page, std::vector<uint8_t>& body) {
  uint8_t head[kHeadBytes];
  if (!cursor.read(position, head, sizeof head) || memcmp(head, "OggS", 4) != 0 || head[4] != 0) return false;
  page.flags = head[5];
  page.serial = le32(head + 14);
  page.segments = head[26];
  if (page.flags & ~(kContinued | kBeginning | kEnding)) return false;
  if (!cursor.read(position + kHeadBytes, page.lacing, page.segments)) return false;
  page.bodyBytes = 0;
  for (unsigned i = 0; i < page.segments; ++i) page.bodyBytes += page.lacing[i];
  page.size = kHeadBytes + page.segments + page.bodyBytes;
  body.resize(page.bodyBytes);
  if (!cursor.read(position + kHeadBytes + page.segments, body.data(), body.size())) return false;
  uint32_t stored = le32(head + 22);
  memset(head + 22, 0, 4);
  uint32_t crc = oggCrc32(0, head, sizeof head);
  crc = oggCrc32(crc, page.lacing, page.segments);
  return oggCrc32(crc, body.data(), body.size()) == stored;
}

const char* typeOfStream(const std::vector<uint8_t>& first) {
  auto startsWith = [&](const char* magic, size_t n) { return first.size() >= n && memcmp(first.data(), magic, n) == 0; };
  if (startsWith("\x80theora", 7)) return "ogv";
  if (startsWith("OpusHead", 8)) return "opus";
  if (startsWith("\x7F" "FLAC", 5)) return "oga";
  return "ogg";
}

// The title in the first stream's comment packet, after its codec's
// prefix.
std::string titleOf(const std::vector<uint8_t>& packet) {
  struct Prefix { const char* magic; size_t bytes; };
  for (const Prefix& p : {Prefix{"\x03vorbis", 7}, Prefix{"OpusTags", 8}, Prefix{"\x81theora", 7}})
    if (packet.size() >= p.bytes && memcmp(packet.data(), p.magic, p.bytes) == 0)
      return vorbisCommentTitle(packet.data() + p.bytes, packet.size() - p.bytes);
  // FLAC in Ogg: the comment packet is a metadata block of type 4 with its
  // 4-byte header.
  if (packet.size() >= 4 && (packet[0] & 0x7F) == 4) return vorbisCommentTitle(packet.data() + 4, packet.size() - 4);
  return std::string();
}

// Gathers the second packet of the first stream from its pages.
struct CommentGatherer {
  uint32_t serial = 0;
  int packet = 0;  // index of the packet being read
  std::vector<uint8_t> comment;
  bool done = false;

  void add(const Page& page, const std::vector<uint8_t>& body) {
    if (done || page.serial != serial) return;
    size_t offset = 0;
    for (unsigned i = 0; i < page.segments && !done; ++i) {
      if (packet == 1 && comment.size() + page.lacing[i] <= kMaxCommentBytes)
        comment.insert(comment.end(), body.begin() + offset, body.begin() + offset + page.lacing[i]);
      offset += page.lacing[i];
      if (page.lacing[i] < 255 && ++packet > 1) done = true;
    }
  }
};

}  // namespace

bool FileModuleOgg::scan(const uint8_t* sector, uint32_t length) {
  return length >= kHeadBytes && memcmp(sector, "OggS", 4) == 0 && sector[4] == 0 && (sector[5] & kBeginning) &&
         !(sector[5] & kContinued);
}

bool FileModuleOgg::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  std::vector<uint32_t> started, ended;
  std::vector<uint8_t> body, firstPacket;
  CommentGatherer gatherer;
  const char* type = nullptr;
  uint64_t position = 0, pages = 0;
  bool beginning = true;
  for (; pages < kMaxPages; ++pages) {
    Page page;
    if (!readPage(cursor, position, page, body)) break;
    bool known = std::find(started.begin(), started.end(), page.serial) != started.end();
    if (page.flags & kBeginning) {
      // All streams begin before any data page of them; a stream beginning
      // later belongs to the next file (or the next link of a chain).
      if (!beginning || known || started.size() >= kMaxStreams || (page.flags & kContinued)) break;
      started.push_back(page.serial);
      const char* streamType = typeOfStream(body);
      if (!type || strcmp(streamType, "ogv") == 0) type = streamType;
      if (pages == 0) gatherer.serial = page.serial;
    } else {
      if (!known) break;
      beginning = false;
    }
    gatherer.add(page, body);
    position += page.size;
    if ((page.flags & kEnding) && std::find(ended.begin(), ended.end(), page.serial) == ended.end()) {
      ended.push_back(page.serial);
      if (ended.size() == started.size()) {
        ++pages;
        break;
      }
    }
  }
  if (pages < 2) return false;

  file.clear();
  file.attributes.set("t", type);
  file.size = position;
  setNameAttribute(file.attributes, titleOf(gatherer.comment));
  return true;
}
