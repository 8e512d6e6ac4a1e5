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

void assignSilencing(PatternTable& patterns) {
  // The stream formats whose patterns hit inside their own files.  Only the
  // first MP3 pattern takes part; an MPEG pattern counts when it comes
  // before it, and the last such one wins.
  static const char kFirstOf[] = "mp3";
  static const char kLastBefore[] = "mpeg";
  // Plain text, which any sector of a text may start.
  static const char kPlainText[] = "txt";
  int first = -1, last = -1;
  for (size_t i = 0; i < patterns.size(); ++i) {
    patterns[i].setSilencesItself(false);
    patterns[i].setOnlyOutsideFiles(patterns[i].type() == kPlainText);
    if (first >= 0) continue;
    if (patterns[i].type() == kFirstOf)
      first = static_cast<int>(i);
    else if (patterns[i].type() == kLastBefore)
      last = static_cast<int>(i);
  }
  if (first >= 0) patterns[first].setSilencesItself(true);
  if (last >= 0) patterns[last].setSilencesItself(true);
}
