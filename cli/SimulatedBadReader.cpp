// Simulated unreadable ranges.

#include "cli/SimulatedBadReader.h"

#include "cli/RecoverOptions.h"
#include "shell/DebugLog.h"
#include "shell/Format.h"

SimulatedBadReader::SimulatedBadReader(Reader* inner, Ranges bad) : inner_(inner), bad_(std::move(bad)) {
  setSize(inner_->size());
}

bool SimulatedBadReader::read(uint64_t offset, void* buffer, uint64_t size) {
  for (const auto& range : bad_) {
    bool endsBefore = Reader::fits(offset, size, range.first);
    bool startsAfter = offset >= range.first && offset - range.first >= range.second;
    if (!endsBefore && !startsAfter) {
      dlog() << "SimulatedBadReader(24): " << offset << " " << size << "\n";
      return false;
    }
  }
  return inner_->read(offset, buffer, size);
}

bool parseRanges(const std::string& text, SimulatedBadReader::Ranges& ranges) {
  std::vector<std::string> pieces;
  split(text, ',', pieces);
  for (const std::string& piece : pieces) {
    size_t colon = piece.find(':');
    uint64_t offset, length;
    if (colon == std::string::npos || !parseByteCount(piece.substr(0, colon), offset) ||
        !parseByteCount(piece.substr(colon + 1), length) || length == 0)
      return false;
    ranges.push_back({offset, length});
  }
  return !ranges.empty();
}
