#include "engine/modules/FileModuleMov.h"

#include <cstring>

#include "engine/modules/TopLevelBoxes.h"
#include "media/ByteCursor.h"
#include "media/Reader.h"

namespace {

const char* const kFirstAtoms[] = {"moov", "ftyp", "pnot", "mdat"};
const char* const kTopLevelAtoms[] = {"moov", "free", "wide", "mdat", "ftyp", "pnot", "PICT", "uuid"};
// Brands of the MPEG-4 family, compared by their first three characters ...
const char* const kMp4BrandPrefixes[] = {"iso", "mp4", "mp7", "3gp", "nds", "ndx"};
// ... or whole.
const char* const kMp4Brands[] = {"mmp4", "avc1", "msnv"};

const uint64_t kFirstBrandAt = 16;  // the first compatible brand of an "ftyp" atom at 0
const uint32_t kMinAtoms = 2;

// `type` begins with one of the names (their first `compare` characters).
template <size_t N>
bool isOneOf(const char* type, const char* const (&list)[N], size_t compare = 4) {
  for (const char* name : list)
    if (memcmp(type, name, compare) == 0) return true;
  return false;
}

}  // namespace

bool FileModuleMov::scan(const uint8_t* sector, uint32_t length) {
  return length >= 8 && isOneOf(reinterpret_cast<const char*>(sector + 4), kFirstAtoms);
}

bool FileModuleMov::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  BoxWalk walk = walkTopLevelBoxes(cursor, [](const BoxHead& head) { return isOneOf(head.type, kTopLevelAtoms); });
  if (walk.malformed || walk.boxes < kMinAtoms || walk.end < kMinSize || walk.end > cursor.size()) return false;
  char brand[4];
  if (!cursor.read(kFirstBrandAt, brand, sizeof brand)) return false;
  bool mp4 = isOneOf(brand, kMp4BrandPrefixes, 3) || isOneOf(brand, kMp4Brands);
  file.clear();
  file.attributes.set("t", mp4 ? "mp4" : "mov");
  file.size = walk.end;
  return true;
}
