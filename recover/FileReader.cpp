// Reading a found file back, piece by piece.

#include "recover/FileReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/FileCase.h"
#include "media/Reader.h"
#include "shell/DebugLog.h"

namespace {
// Log tags of this file.
const LogTag kLogNoReader{"FileReader", 11};
const LogTag kLogUnreadable{"FileReader", 24};
const LogTag kLogRefused{"FileReader", 29};
}  // namespace

bool FileReader::readFile(FileCase& fileCase, const FileModule::File& file) {
  unreadableBytes_ = 0;
  unreadable_.clear();
  noReader_ = false;
  // An empty file has nothing to read, and may have no place on the medium
  // at all (a FAT entry with first cluster 0).
  if (file.size == 0) return true;
  Reader* reader = fileCase.readerFor(file);
  if (!reader) {
    dlog() << kLogNoReader << ": " << file.offset << " " << file.size << "\n";
    noReader_ = true;
    return false;
  }
  return readFrom(*reader, file.size);
}

bool FileReader::readFrom(Reader& reader, uint64_t size) {
  unreadableBytes_ = 0;
  unreadable_.clear();
  std::vector<uint8_t> buffer;
  uint64_t position = 0;
  uint64_t remaining = size;
  std::shared_ptr<const void> lent;
  while (remaining > 0) {
    uint64_t piece = std::min<uint64_t>(remaining, kPieceSize);
    check();
    // Bytes the reader holds (the medium's cache) are handed on as they
    // lie; a piece then ends where the reader's block does.
    const uint8_t* data = nullptr;
    uint64_t available = 0;
    if (reader.borrow(position, piece, data, available, lent)) {
      piece = available;
    } else {
      lent.reset();
      if (buffer.empty()) buffer.resize(static_cast<size_t>(std::min<uint64_t>(size, kPieceSize)));
      readPiece(reader, position, buffer.data(), piece);
      data = buffer.data();
    }
    check();
    if (!consume(data, piece)) {
      dlog() << kLogRefused << ": " << position << " " << piece << "\n";
      return false;
    }
    position += piece;
    remaining -= piece;
  }
  return true;
}

void FileReader::readPiece(Reader& reader, uint64_t position, uint8_t* buffer, uint64_t length) {
  if (reader.read(position, buffer, length)) return;
  // One bad sector should not cost the whole piece: try again in sectors
  // and zero only what still fails.
  uint64_t runStart = 0, runLength = 0;
  for (uint64_t done = 0; done < length;) {
    uint64_t part = std::min<uint64_t>(kRetrySize, length - done);
    if (!reader.read(position + done, buffer + done, part)) {
      memset(buffer + done, 0, static_cast<size_t>(part));
      markUnreadable(position + done, part);
      if (runLength == 0) runStart = position + done;
      runLength += part;
    } else if (runLength) {
      dlog() << kLogUnreadable << ": " << runStart << " " << runLength << "\n";
      runLength = 0;
    }
    done += part;
  }
  if (runLength) dlog() << kLogUnreadable << ": " << runStart << " " << runLength << "\n";
}

void FileReader::markUnreadable(uint64_t position, uint64_t length) {
  unreadableBytes_ += length;
  if (!unreadable_.empty() && unreadable_.back().first + unreadable_.back().second == position)
    unreadable_.back().second += length;
  else
    unreadable_.push_back({position, length});
}
