#include "engine/modules/Id3Tag.h"

#include <cstring>

#include "shell/Charset.h"
#include "shell/Endian.h"

namespace {

const size_t kHeaderBytes = 10;
const size_t kFrameHeaderBytes = 10;
const uint8_t kFlagExtendedHeader = 0x40;
const uint8_t kFlagFooter = 0x10;
const uint8_t kUndefinedFlags = 0x0F;
const uint32_t kMinExtendedHeader = 6;
// Frame flag bits that make the frame's contents unreadable as they stand
// (compression, grouping and the bits no version defines), taken as a
// little-endian 16-bit value of the two flag bytes.
const uint16_t kFrameFlagsGiveUp = 0xB08F;
const uint8_t kEncodingLatin1 = 0;
const uint8_t kEncodingUtf8 = 3;
const size_t kId3v1TitleBytes = 30;

bool syncsafe(const uint8_t* p, uint32_t& out) {
  if ((p[0] | p[1] | p[2] | p[3]) & 0x80) return false;
  out = (uint32_t(p[0]) << 21) | (uint32_t(p[1]) << 14) | (uint32_t(p[2]) << 7) | p[3];
  return true;
}

bool isFrameIdCharacter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Text up to the first terminator.
size_t textLength(const uint8_t* text, size_t n) {
  const void* zero = memchr(text, 0, n);
  return zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - text) : n;
}

std::string frameText(const uint8_t* payload, size_t n) {
  if (n < 1) return std::string();
  const char* text = reinterpret_cast<const char*>(payload + 1);
  size_t length = textLength(payload + 1, n - 1);
  if (payload[0] == kEncodingLatin1) return convertToUtf8(text, length, charsetNames().id3v2Latin().c_str());
  if (payload[0] == kEncodingUtf8) return convertToUtf8(text, length, "UTF-8");
  return std::string();
}

}  // namespace

bool startsId3v2(const uint8_t* bytes, size_t n) {
  return n >= 4 && memcmp(bytes, "ID3", 3) == 0 && (bytes[3] == 3 || bytes[3] == 4);
}

bool parseId3v2Header(const uint8_t* bytes, size_t n, Id3v2Header& out) {
  if (n < kHeaderBytes || !startsId3v2(bytes, n)) return false;
  uint8_t flags = bytes[5];
  uint32_t size = 0;
  if (bytes[4] == 0xFF || (flags & kUndefinedFlags) || !syncsafe(bytes + 6, size)) return false;
  out.major = bytes[3];
  out.tagLength = uint64_t(size) + kHeaderBytes + ((flags & kFlagFooter) ? kHeaderBytes : 0);
  out.headerLength = kHeaderBytes;
  if (flags & kFlagExtendedHeader) {
    uint32_t extended = 0;
    if (n < kId3v2HeaderPeek || !syncsafe(bytes + kHeaderBytes, extended) || extended < kMinExtendedHeader)
      return false;
    // Version 2.4 counts the size field in the extended header's size,
    // version 2.3 does not.
    out.headerLength += extended + (out.major == 3 ? 4 : 0);
  }
  return true;
}

std::string id3v2Title(const uint8_t* body, size_t n, uint8_t major) {
  size_t at = 0;
  while (n - at >= kFrameHeaderBytes) {
    const uint8_t* frame = body + at;
    for (size_t i = 0; i < 4; ++i)
      if (!isFrameIdCharacter(frame[i])) return std::string();
    // Frame sizes are syncsafe from version 2.4 on, plain before.
    uint32_t size = be32(frame + 4);
    if (major >= 4 && !syncsafe(frame + 4, size)) return std::string();
    if (le16(frame + 8) & kFrameFlagsGiveUp) return std::string();
    if (size == 0 || size > n - at - kFrameHeaderBytes) return std::string();
    if (memcmp(frame, "TIT2", 4) == 0) return frameText(frame + kFrameHeaderBytes, size);
    at += kFrameHeaderBytes + size;
  }
  return std::string();
}

std::string id3v1Title(const uint8_t* title30) {
  size_t length = textLength(title30, kId3v1TitleBytes);
  while (length > 0 && title30[length - 1] == ' ') --length;
  return convertToUtf8(reinterpret_cast<const char*>(title30), length, charsetNames().id3v1().c_str());
}
