#include "engine/modules/FileModuleRiff.h"

#include <cstring>

#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {
const uint64_t kChunkSizeAt = 4;
const uint64_t kHeaderBytes = 8;  // chunk id and chunk size
const uint64_t kFormBytes = 12;   // "RIFF", size, form type
// The RIFF size a writer that cannot seek back leaves in place.
const uint32_t kUnknownSize = 0xFFFFFFFF;
// OpenDML continuation chunks after an AVI's first one: each holds up to a
// GiB, so this covers any file the scanner's window can hold.
const int kMaxContinuations = 4096;

const char* typeOfForm(const uint8_t* form) {
  if (memcmp(form, "RMID", 4) == 0) return "rmi";
  if (memcmp(form, "AVI ", 4) == 0) return "avi";
  if (memcmp(form, "WAVE", 4) == 0) return "wav";
  if (memcmp(form, "ACON", 4) == 0) return "ani";
  return "riff";
}

bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool isLower(uint8_t c) { return c >= 'a' && c <= 'z'; }

// Chunks of an AVI's "movi" list: stream data ("00dc", "01wb"), stream
// indexes ("ix00"), and the filler and index chunks around them.
bool isAviChunk(const uint8_t* id) {
  if (isDigit(id[0]) && isDigit(id[1]) && isLower(id[2]) && isLower(id[3])) return true;
  if (id[0] == 'i' && id[1] == 'x' && isDigit(id[2]) && isDigit(id[3])) return true;
  return memcmp(id, "JUNK", 4) == 0 || memcmp(id, "idx1", 4) == 0;
}

// The end of an AVI whose sizes were never filled in (written to a pipe, or
// cut short while recording): its chunks are walked one by one, into the
// open "movi" list, up to the first that is not an AVI chunk or does not
// fit.  0 when no "movi" list with data was met.
uint64_t openAviEnd(ByteCursor& cursor) {
  uint64_t position = kFormBytes;
  bool inMovi = false;
  uint64_t dataChunks = 0;
  // Each step moves on by at least 8 bytes or ends the walk.
  for (;;) {
    uint8_t head[kFormBytes];
    if (!cursor.read(position, head, kHeaderBytes)) break;
    uint32_t size = le32(head + 4);
    if (memcmp(head, "LIST", 4) == 0) {
      if (!cursor.read(position, head, kFormBytes)) break;
      bool open = size == 0 || size == kUnknownSize || !Reader::fits(position + kHeaderBytes, size, cursor.size());
      if (!inMovi && memcmp(head + 8, "movi", 4) == 0 && open) {
        position += kFormBytes;
        inMovi = true;
        continue;
      }
    } else if (!isAviChunk(head)) {
      break;
    }
    uint64_t length = kHeaderBytes + uint64_t(size) + (size & 1);
    if (!Reader::fits(position, length, cursor.size())) break;
    position += length;
    if (inMovi) ++dataChunks;
  }
  return inMovi && dataChunks > 0 ? position : 0;
}

// An AVI larger than a GiB goes on in "AVIX" RIFF chunks right after the
// first one.
uint64_t withContinuations(ByteCursor& cursor, uint64_t size) {
  for (int i = 0; i < kMaxContinuations; ++i) {
    uint8_t head[kFormBytes];
    if (!cursor.read(size, head, sizeof head) || memcmp(head, "RIFF", 4) != 0 || memcmp(head + 8, "AVIX", 4) != 0)
      break;
    uint64_t length = kHeaderBytes + le32(head + 4);
    if (!Reader::fits(size, length, cursor.size())) break;
    size += length;
  }
  return size;
}

}  // namespace

bool FileModuleRiff::scan(const uint8_t* sector, uint32_t length) {
  return length >= 4 && memcmp(sector, "RIFF", 4) == 0;
}

bool FileModuleRiff::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  uint8_t header[8];
  if (!cursor.read(kChunkSizeAt, header, sizeof header)) return false;
  const char* type = typeOfForm(header + 4);
  bool avi = memcmp(header + 4, "AVI ", 4) == 0;
  uint32_t declared = le32(header);
  uint64_t size = uint64_t(declared) + kHeaderBytes;
  if (avi && (declared == 0 || declared == kUnknownSize)) {
    size = openAviEnd(cursor);
    if (size == 0) return false;
  } else {
    if (size > cursor.size()) return false;
    if (avi) size = withContinuations(cursor, size);
  }

  uint8_t junk[8];
  if (cursor.read(size, junk, sizeof junk) && memcmp(junk, "JUNK", 4) == 0) {
    uint64_t grown = size + kHeaderBytes + le32(junk + 4);
    if (grown < cursor.size()) size = grown;
  }
  file.clear();
  file.attributes.set("t", type);
  file.size = size;
  return true;
}
