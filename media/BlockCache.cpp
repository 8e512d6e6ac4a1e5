// The blocks of a medium held in memory.

#include "media/BlockCache.h"

#include <algorithm>
#include <cstring>

#include "media/Sector.h"

namespace {

// Failed blocks remembered at most (a card that fails everywhere).
const size_t kMaxFailed = 65536;

size_t roundedBlock(size_t bytes) {
  bytes = std::min(std::max<size_t>(bytes, kSectorBytes), BlockCache::kMaxBlockBytes);
  return (bytes + kSectorBytes - 1) / kSectorBytes * kSectorBytes;
}

bool allZero(const uint8_t* p, size_t n) {
  // Most blocks hold data: their first bytes tell, without a pass over all.
  if (n == 0 || p[0] || p[n - 1] || p[n / 2]) return false;
  static const uint8_t kZeros[4096] = {};
  for (size_t at = 0; at < n; at += sizeof kZeros) {
    size_t k = std::min(sizeof kZeros, n - at);
    if (memcmp(p + at, kZeros, k) != 0) return false;
  }
  return true;
}

}  // namespace

BlockCache::BlockCache(Reader* inner, size_t blockBytes, uint64_t budget)
    : inner_(inner), blockBytes_(roundedBlock(blockBytes)), budget_(budget) {
  reset(blockBytes_);
}

void BlockCache::reset(size_t blockBytes) {
  entries_.clear();
  ages_.clear();
  held_ = 0;
  zeroBlocks_ = 0;
  failed_.clear();
  released_ = 0;
  size_t rounded = roundedBlock(blockBytes);
  if (rounded != blockBytes_) {
    spare_.clear();
    zeros_.reset();
  }
  blockBytes_ = rounded;
  setSize(inner_ ? inner_->size() : 0);
  // The shortest stretches (a whole number of sectors dividing the block
  // size, at least kLeastZeroPiece) whose bits fit in the bound.
  const uint64_t sectors = blockBytes_ / kSectorBytes;
  const uint64_t most = kMostZeroPiece / kSectorBytes;
  uint64_t least = std::max<uint64_t>(kLeastZeroPiece, (size() + kMaxZeroPieces - 1) / kMaxZeroPieces);
  least = (least + kSectorBytes - 1) / kSectorBytes;
  zeroPiece_ = static_cast<size_t>(std::max(least, most) * kSectorBytes);
  for (uint64_t d = least; d <= most; ++d) {
    if (sectors % d == 0) {
      zeroPiece_ = static_cast<size_t>(d * kSectorBytes);
      break;
    }
  }
  uint64_t pieces = (size() + zeroPiece_ - 1) / zeroPiece_;
  zeroPieces_.assign(pieces <= kMaxZeroPieces ? static_cast<size_t>((pieces + 63) / 64) : 0, 0);
}

void BlockCache::noteZeros(uint64_t start, const uint8_t* data, size_t length) {
  if (zeroPieces_.empty()) return;
  // Only the stretches that lie whole in the range (the medium's last one
  // may be short).
  for (uint64_t piece = (start + zeroPiece_ - 1) / zeroPiece_;; ++piece) {
    uint64_t from = piece * zeroPiece_;
    uint64_t to = std::min<uint64_t>(from + zeroPiece_, size());
    if (from >= to || to > start + length) return;
    if (allZero(data + (from - start), static_cast<size_t>(to - from))) zeroPieces_[piece / 64] |= uint64_t(1) << (piece % 64);
  }
}

bool BlockCache::knownZero(uint64_t start, size_t length) const {
  if (zeroPieces_.empty() || length == 0) return false;
  for (uint64_t piece = start / zeroPiece_; piece * zeroPiece_ < start + length; ++piece)
    if (!(zeroPieces_[piece / 64] >> (piece % 64) & 1)) return false;
  return true;
}

BlockCache::BlockRef BlockCache::block(uint64_t offset) {
  if (offset >= size()) return nullptr;
  uint64_t index = offset / blockBytes_;
  auto found = entries_.find(index);
  if (found != entries_.end()) {
    ages_.splice(ages_.begin(), ages_, found->second.age);
    return found->second.block;
  }
  return load(index);
}

BlockCache::BlockRef BlockCache::held(uint64_t offset) const {
  if (offset >= size()) return nullptr;
  auto found = entries_.find(offset / blockBytes_);
  return found == entries_.end() ? nullptr : found->second.block;
}

BlockCache::BlockRef BlockCache::load(uint64_t index) {
  if (failed_.count(index)) return nullptr;
  auto block = std::make_shared<Block>();
  block->start = index * blockBytes_;
  block->length = static_cast<size_t>(std::min<uint64_t>(blockBytes_, size() - block->start));
  // Zeros seen before need no read.
  bool zeros = knownZero(block->start, block->length);
  if (!zeros) {
    // A buffer used before: a new one costs a page fault per page, about as
    // much as reading the block.
    std::unique_ptr<uint8_t[]> buffer;
    if (!spare_.empty()) {
      buffer = std::move(spare_.back());
      spare_.pop_back();
    } else {
      buffer.reset(new uint8_t[blockBytes_]);
    }
    if (!fetchUnknown(block->start, buffer.get(), block->length)) {
      if (failed_.size() >= kMaxFailed) failed_.clear();
      failed_.insert(index);
      giveBack(std::move(buffer));
      return nullptr;
    }
    noteZeros(block->start, buffer.get(), block->length);
    zeros = allZero(buffer.get(), block->length);
    if (zeros) {
      giveBack(std::move(buffer));
    } else {
      block->bytes = std::move(buffer);
      block->data = block->bytes.get();
      held_ += block->length;
    }
  }
  if (zeros) {
    if (!zeros_) zeros_ = std::make_shared<const std::vector<uint8_t>>(blockBytes_, 0);
    block->zeros = zeros_;
    block->data = zeros_->data();
    ++zeroBlocks_;
  }
  ages_.push_front(index);
  entries_[index] = Entry{block, ages_.begin()};
  evict();
  return block;
}

void BlockCache::evict() {
  // The block just loaded is the youngest and stays.
  while (ages_.size() > 1 && (held_ > budget_ || zeroBlocks_ > kMaxZeroBlocks)) drop(entries_.find(ages_.back()));
}

void BlockCache::drop(std::unordered_map<uint64_t, Entry>::iterator entry) {
  ages_.erase(entry->second.age);
  std::shared_ptr<Block>& block = entry->second.block;
  if (!block->bytes) {
    --zeroBlocks_;
  } else {
    held_ -= block->length;
    // A block no caller holds gives its buffer to the next load.
    if (block.use_count() == 1) giveBack(std::move(block->bytes));
  }
  entries_.erase(entry);
}

void BlockCache::giveBack(std::unique_ptr<uint8_t[]> buffer) {
  if (held_ + (spare_.size() + 1) * blockBytes_ <= budget_) spare_.push_back(std::move(buffer));
}

void BlockCache::releaseBelow(uint64_t position) {
  uint64_t below = position / blockBytes_;
  for (; released_ < below; ++released_) {
    auto entry = entries_.find(released_);
    if (entry != entries_.end()) drop(entry);
  }
}

bool BlockCache::read(uint64_t offset, void* buffer, uint64_t size) {
  // Reads the cache cannot serve whole go to the medium as they are, so
  // that its failures are logged with the values asked for.
  if (!inner_ || !Reader::fits(offset, size, this->size())) return inner_ && fetch(offset, buffer, size);
  if (size == 0) return true;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint64_t at = offset, left = size;
  while (left) {
    BlockRef b = block(at);
    if (!b) return fetch(offset, buffer, size);
    uint64_t in = at - b->start;
    uint64_t n = std::min<uint64_t>(left, b->length - in);
    memcpy(out, b->data + in, static_cast<size_t>(n));
    out += n;
    at += n;
    left -= n;
  }
  return true;
}

bool BlockCache::borrow(uint64_t offset, uint64_t size, const uint8_t*& out, uint64_t& available,
                        std::shared_ptr<const void>& hold) {
  if (size == 0) return false;
  BlockRef b = block(offset);
  if (!b) return false;
  uint64_t in = offset - b->start;
  out = b->data + in;
  available = std::min<uint64_t>(size, b->length - in);
  hold = std::move(b);
  return true;
}

bool BlockCache::fetchUnknown(uint64_t offset, uint8_t* buffer, size_t size) {
  if (zeroPieces_.empty()) return fetch(offset, buffer, size);
  // Runs of stretches not known to hold zeros are read, one read a run.
  const uint64_t end = offset + size;
  for (uint64_t at = offset, runEnd; at < end; at = runEnd) {
    const bool zero = knownZero(at, 1);
    for (runEnd = at; runEnd < end && knownZero(runEnd, 1) == zero;)
      runEnd = std::min<uint64_t>((runEnd / zeroPiece_ + 1) * zeroPiece_, end);
    if (zero)
      memset(buffer + (at - offset), 0, static_cast<size_t>(runEnd - at));
    else if (!fetch(at, buffer + (at - offset), runEnd - at))
      return false;
  }
  return true;
}

bool BlockCache::fetch(uint64_t offset, void* buffer, uint64_t size) {
  ++fetches_;
  bytesFetched_ += size;
  return inner_->read(offset, buffer, size);
}
