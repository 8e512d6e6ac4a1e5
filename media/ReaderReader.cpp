// A window onto another reader.

#include "media/ReaderReader.h"

#include "shell/DebugLog.h"

ReaderReader::ReaderReader(Reader* inner) : inner_(inner) { setSize(inner ? inner->size() : 0); }

bool ReaderReader::setWindow(uint64_t offset, uint64_t size) {
  uint64_t innerSize = inner_ ? inner_->size() : 0;
  if (offset >= innerSize) {
    dlog() << "ReaderReader(19): " << offset << " " << innerSize << "\n";
    return false;
  }
  base_ = offset;
  uint64_t rest = innerSize - offset;
  setSize(size < rest ? size : rest);
  return true;
}

bool ReaderReader::read(uint64_t offset, void* buffer, uint64_t size) {
  if (!Reader::fits(offset, size, this->size())) {
    dlog() << "ReaderReader(30): " << offset << " " << size << " " << this->size() << "\n";
    return false;
  }
  if (!inner_ || !inner_->read(base_ + offset, buffer, size)) {
    dlog() << "ReaderReader(34): " << offset << " " << base_ << " " << size << "\n";
    return false;
  }
  return true;
}
