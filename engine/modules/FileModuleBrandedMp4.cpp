#include "engine/modules/FileModuleBrandedMp4.h"

#include <cstring>
#include <vector>

#include "engine/modules/ExifDate.h"
#include "engine/modules/IsoBoxes.h"
#include "engine/modules/NameAttribute.h"
#include "engine/modules/TopLevelBoxes.h"
#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Charset.h"
#include "shell/Endian.h"

namespace {

struct Brand {
  const char* brand;
  const char* type;
};
const Brand kBrands[] = {{"M4A ", "m4a"},  {"M4P ", "m4a"},  {"M4B ", "m4b"},  {"3gp4", "3gp"}, {"3gp5", "3gp"},
                         {"3gp6", "3gp"},  {"3gp7", "3gp"},  {"3gp8", "3gp"},  {"3gp9", "3gp"}, {"3gg6", "3gp"},
                         {"3gr6", "3gp"},  {"3gs6", "3gp"},  {"3ge6", "3gp"},  {"3g2a", "3g2"}, {"3g2b", "3g2"},
                         {"3g2c", "3g2"}};
const char* const kTopLevel[] = {"ftyp", "moov", "mdat", "free", "skip", "wide", "uuid", "udta",
                                 "meta", "moof", "mfra", "sidx", "styp", "pdin"};
// Seconds from 1904-01-01, where movie times count from, to 1970-01-01.
const int64_t kSeconds1904To1970 = 2082844800;
const uint64_t kMaxTitleBytes = 1024;

const char* typeOfBrand(const char* major) {
  for (const Brand& b : kBrands)
    if (memcmp(major, b.brand, 4) == 0) return b.type;
  return nullptr;
}

const char* typeOf(const uint8_t* bytes, size_t length) {
  FileBrands brands;
  return fileBrands(bytes, length, brands) ? typeOfBrand(brands.major) : nullptr;
}

template <size_t N>
bool isOneOf(const char* type, const char* const (&list)[N]) {
  for (const char* name : list)
    if (memcmp(type, name, 4) == 0) return true;
  return false;
}

// A path of boxes below `box`, each found among the children of the one
// before.
bool descend(ByteCursor& cursor, IsoBox box, std::initializer_list<const char*> path, IsoBox& found) {
  for (const char* name : path) {
    uint64_t skip = box.is("meta") ? metaChildrenSkip(cursor, box) : 0;
    IsoBox child;
    if (!findIsoBox(cursor, box, skip, name, child)) return false;
    box = child;
  }
  found = box;
  return true;
}

std::string textAt(ByteCursor& cursor, uint64_t offset, uint64_t length) {
  std::string text(std::min(length, kMaxTitleBytes), '\0');
  if (!cursor.read(offset, text.data(), text.size())) return std::string();
  return text;
}

// The iTunes-style title (moov/udta/meta/ilst/"©nam"/data, UTF-8), else
// the 3GPP one (moov/udta/titl: a full box, a language, then UTF-8 or
// UTF-16 with its byte-order mark).
std::string titleOf(ByteCursor& cursor, const IsoBox& moov) {
  IsoBox box;
  const uint32_t kUtf8 = 1;
  uint32_t kind = 0;
  if (descend(cursor, moov, {"udta", "meta", "ilst", "\xA9nam", "data"}, box) && box.bodyBytes() > 8 &&
      cursor.be32(box.body(), kind) && kind == kUtf8) {
    std::string text = textAt(cursor, box.body() + 8, box.bodyBytes() - 8);
    return isValidUtf8(text.data(), text.size()) ? text : std::string();
  }
  if (!descend(cursor, moov, {"udta", "titl"}, box) || box.bodyBytes() <= 6) return std::string();
  std::string text = textAt(cursor, box.body() + 6, box.bodyBytes() - 6);
  if (text.size() >= 2 && uint8_t(text[0]) == 0xFE && uint8_t(text[1]) == 0xFF) {
    std::vector<uint16_t> units;
    for (size_t i = 2; i + 1 < text.size() && (text[i] || text[i + 1]); i += 2)
      units.push_back(be16(reinterpret_cast<const uint8_t*>(text.data()) + i));
    return utf16ToUtf8(units.data(), units.size());
  }
  text.resize(strnlen(text.data(), text.size()));
  return isValidUtf8(text.data(), text.size()) ? text : std::string();
}

// The creation time of the movie header, in seconds since 1904; false when
// there is none.
bool creationTime(ByteCursor& cursor, const IsoBox& moov, int64_t& seconds) {
  IsoBox mvhd;
  uint8_t version = 0;
  if (!findIsoBox(cursor, moov, 0, "mvhd", mvhd) || !cursor.u8(mvhd.body(), version)) return false;
  if (version == 1) {
    uint64_t time = 0;
    if (mvhd.bodyBytes() < 12 || !cursor.be64(mvhd.body() + 4, time) || time > uint64_t(INT64_MAX)) return false;
    seconds = int64_t(time);
  } else {
    uint32_t time = 0;
    if (mvhd.bodyBytes() < 8 || !cursor.be32(mvhd.body() + 4, time)) return false;
    seconds = time;
  }
  return seconds != 0;
}

}  // namespace

bool FileModuleBrandedMp4::scan(const uint8_t* sector, uint32_t length) { return typeOf(sector, length) != nullptr; }

bool FileModuleBrandedMp4::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  FileBrands brands;
  const char* type = fileBrands(cursor, brands) ? typeOfBrand(brands.major) : nullptr;
  if (!type) return false;
  IsoBox moov;
  bool haveMoov = false, haveData = false, openData = false;
  BoxWalk walk = walkTopLevelBoxes(cursor, [&](const BoxHead& head) {
    if (head.offset == 0 ? memcmp(head.type, "ftyp", 4) != 0 : !isOneOf(head.type, kTopLevel)) return false;
    if (memcmp(head.type, "moov", 4) == 0 && !haveMoov) haveMoov = readIsoBox(cursor, head.offset, cursor.size(), moov);
    haveData |= memcmp(head.type, "mdat", 4) == 0;
    openData = head.size32 == 0;
    return true;
  });
  if (walk.malformed || openData || !haveMoov || !haveData || walk.end > cursor.size()) return false;

  file.clear();
  file.attributes.set("t", type);
  file.size = walk.end;
  setNameAttribute(file.attributes, titleOf(cursor, moov));
  int64_t seconds = 0;
  if (creationTime(cursor, moov, seconds)) setTimeAttribute(file.attributes, seconds - kSeconds1904To1970);
  return true;
}
