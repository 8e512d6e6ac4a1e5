// A window onto another reader.

#include "media/ReaderReader.h"

#include "shell/DebugLog.h"

namespace {
// Log tags of this file.
const LogTag kLogWindowPastEnd{"ReaderReader", 19};
const LogTag kLogReadPastWindow{"ReaderReader", 30};
const LogTag kLogPositionWraps{"ReaderReader", 34};
}  // namespace

ReaderReader::ReaderReader(Reader* inner) : inner_(inner) { setSize(inner ? inner->size() : 0); }

bool ReaderReader::setWindow(uint64_t offset, uint64_t size) {
  uint64_t innerSize = inner_ ? inner_->size() : 0;
  if (offset >= innerSize) {
    dlog() << kLogWindowPastEnd << ": " << offset << " " << innerSize << "\n";
    return false;
  }
  base_ = offset;
  uint64_t rest = innerSize - offset;
  setSize(size < rest ? size : rest);
  return true;
}

bool ReaderReader::read(uint64_t offset, void* buffer, uint64_t size) {
  if (!Reader::fits(offset, size, this->size())) {
    dlog() << kLogReadPastWindow << ": " << offset << " " << size << " " << this->size() << "\n";
    return false;
  }
  if (!inner_ || !inner_->read(base_ + offset, buffer, size)) {
    dlog() << kLogPositionWraps << ": " << offset << " " << base_ << " " << size << "\n";
    return false;
  }
  return true;
}

bool ReaderReader::borrow(uint64_t offset, uint64_t size, const uint8_t*& out, uint64_t& available,
                          std::shared_ptr<const void>& hold) {
  if (!inner_ || size == 0 || offset >= this->size()) return false;
  if (size > this->size() - offset) size = this->size() - offset;
  return inner_->borrow(base_ + offset, size, out, available, hold);
}
