// One signature of a pattern file.

#include "engine/Pattern.h"

#include <cstring>
#include <stdexcept>

#include "engine/FileModule.h"
#include "media/Reader.h"

void Pattern::setPattern(uint32_t offset, const uint8_t* bytes, uint32_t length) {
  // Written so that a huge offset (a negative "Pattern Offset") cannot wrap.
  if (length > kMaxLength || !Reader::fits(offset, length, kSectorLength))
    throw std::runtime_error("Patterns(58)");
  if (length) memcpy(bytes_, bytes, length);
  offset_ = offset;
  length_ = length;
}

bool Pattern::matches(const uint8_t* sector, uint32_t length) const {
  if (length_ != 0) {
    if (!Reader::fits(offset_, length_, length)) return false;
    if (memcmp(sector + offset_, bytes_, length_) != 0) return false;
  }
  if (scanModule_) return scanModule_->scan(sector, length);
  return true;
}

// Out-of-line definitions: the constants may be bound to references.
const uint32_t Pattern::kSectorLength;
const uint32_t Pattern::kMaxLength;
const uint64_t Pattern::kDefaultMaxSize;
