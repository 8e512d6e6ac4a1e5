#include "fat/LongName.h"

#include "fat/DirectoryEntry.h"
#include "shell/Charset.h"
#include "shell/Endian.h"

using namespace fatentry;

namespace {

const uint8_t kLongLast = 0x40;
const uint8_t kLongNumberMask = 0x3F;
const uint8_t kLongDeletedBit = 0x80;
// Where a long-name entry keeps its UTF-16 characters: 5, 6 and 2 of them.
const unsigned kGroupAt[3] = {1, 14, 28};
const unsigned kGroupChars[3] = {5, 6, 2};

// Group by group, each up to its first NUL; a later group only when the
// one before was full.
void appendChars(const uint8_t* e, std::vector<uint16_t>& units) {
  for (int g = 0; g < 3; ++g) {
    for (unsigned i = 0; i < kGroupChars[g]; ++i) {
      uint16_t c = le16(e + kGroupAt[g] + 2 * i);
      if (c == 0) return;
      units.push_back(c);
    }
  }
}

}  // namespace

LongNameAssembler::LongNameAssembler(const uint8_t* shortEntry, bool deleted)
    : deleted_(deleted), checksum_(deleted ? 0 : shortNameChecksum(shortEntry + kNameAt)) {}

LongNameStep LongNameAssembler::feed(const uint8_t* e) {
  if (e[kAttributesAt] != kAttrLongName) return deleted_ ? finish() : LongNameStep::kNone;
  uint8_t sequence = e[kNameAt];
  if (!deleted_) {
    if ((sequence & kLongDeletedBit) || (sequence & kLongNumberMask) != expected_ || e[kLongChecksumAt] != checksum_)
      return LongNameStep::kNone;
    appendChars(e, units_);
    if (sequence & kLongLast) return complete();
    ++expected_;
    return LongNameStep::kMore;
  }
  if (sequence != kDeletedMark) return finish();
  if (accepted_ == 0)
    checksum_ = e[kLongChecksumAt];
  else if (e[kLongChecksumAt] != checksum_)
    return finish();
  appendChars(e, units_);
  ++accepted_;
  return LongNameStep::kMore;
}

LongNameStep LongNameAssembler::finish() {
  if (!deleted_ || accepted_ == 0) return LongNameStep::kNone;
  return complete();
}

LongNameStep LongNameAssembler::complete() {
  name_ = utf16ToUtf8(units_.data(), units_.size());
  return name_.empty() ? LongNameStep::kNone : LongNameStep::kFound;
}
