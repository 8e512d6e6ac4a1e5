// The signature scanner.

#include "engine/Scanner.h"

#include <algorithm>

#include "engine/FileModuleRegistry.h"
#include "engine/PatternsFile.h"
#include "shell/DebugLog.h"

namespace {
// Log tags of this file.
const LogTag kLogWindowRefused{"Scanner", 54};
const LogTag kLogSuffix{"Scanner", 60};
}  // namespace

// For each distinct signature offset, a 256-entry table of bit sets: the
// patterns whose first signature byte is that byte value.  The patterns
// without bytes are in every sector's set.  A sector's candidates are the
// union of one entry per distinct offset, walked in table order, so the
// first-match order of the pattern file is kept exactly.
struct Scanner::Dispatch {
  size_t words = 0;
  std::vector<uint64_t> always;
  struct ByOffset {
    uint32_t offset;
    std::vector<uint64_t> masks;  // 256 * words
  };
  std::vector<ByOffset> offsets;
  std::vector<uint64_t> scratch;
};

const uint32_t Scanner::kSectorLength;
const uint32_t Scanner::kDefaultBufferSize;

Scanner::Scanner(Reader* medium, FileModuleRegistry* registry) : window_(medium), registry_(registry) {}

void Scanner::init(const std::string& patternPath, Callback* callback) {
  PatternTable table;
  loadPatterns(patternPath, *registry_, table);
  init(table, callback);
}

void Scanner::init(const PatternTable& patterns, Callback* callback) {
  patterns_ = patterns;
  callback_ = callback;
  pendingIndex_ = -1;
  pending_.clear();
  assignSilencing(patterns_);
  silentUntil_.assign(patterns_.size(), 0);
  reaches_.clear();
  coveredUntil_ = 0;
  for (const Pattern& p : patterns_)
    if (p.analyzeModule()) p.analyzeModule()->beginScan();
  indexPatterns();
}

void Scanner::indexPatterns() {
  auto d = std::make_shared<Dispatch>();
  d->words = (patterns_.size() + 63) / 64;
  d->always.assign(d->words, 0);
  d->scratch.assign(d->words, 0);
  for (size_t i = 0; i < patterns_.size(); ++i) {
    const Pattern& p = patterns_[i];
    uint64_t bit = uint64_t(1) << (i % 64);
    if (p.length() == 0) {
      d->always[i / 64] |= bit;
      continue;
    }
    auto it = std::find_if(d->offsets.begin(), d->offsets.end(),
                           [&](const Dispatch::ByOffset& b) { return b.offset == p.offset(); });
    if (it == d->offsets.end()) {
      d->offsets.push_back({p.offset(), std::vector<uint64_t>(256 * d->words, 0)});
      it = d->offsets.end() - 1;
    }
    it->masks[p.bytes()[0] * d->words + i / 64] |= bit;
  }
  dispatch_ = d;
}

void Scanner::check(uint64_t position, const uint8_t* sector, uint32_t length) {
  if (!dispatch_) return;
  Dispatch& d = *dispatch_;
  std::vector<uint64_t>& candidates = d.scratch;
  if (d.words == 1) {
    // Up to 64 patterns, the usual table: the set stays in a register.
    uint64_t set = d.always[0];
    for (const Dispatch::ByOffset& b : d.offsets)
      if (b.offset < length) set |= b.masks[sector[b.offset]];
    candidates[0] = set;
  } else {
    std::copy(d.always.begin(), d.always.end(), candidates.begin());
    for (const Dispatch::ByOffset& b : d.offsets) {
      if (b.offset >= length) continue;
      const uint64_t* mask = &b.masks[sector[b.offset] * d.words];
      for (size_t w = 0; w < d.words; ++w) candidates[w] |= mask[w];
    }
  }

  for (size_t w = 0; w < d.words; ++w) {
    while (candidates[w]) {
      int bit = __builtin_ctzll(candidates[w]);
      candidates[w] &= candidates[w] - 1;
      int32_t i = static_cast<int32_t>(w * 64 + bit);
      const Pattern& p = patterns_[i];
      if (position < silentUntil_[i]) continue;
      if (p.onlyOutsideFiles() && position < coveredUntil_) continue;
      if (!p.matches(sector, length)) continue;

      if (!p.analyzeModule()) {
        flushPending(position);
        pendingIndex_ = i;
        pending_.clear();
        pending_.offset = position;
        return;
      }
      if (!window_.setWindow(position, p.maxSize())) {
        dlog() << kLogWindowRefused << ": " << position << " " << p.maxSize() << "\n";
        continue;
      }
      FileModule::File file;
      if (!p.analyzeModule()->analyzeAt(position, window_, file)) {
        if (callback_) callback_->refused(position, p);
        continue;
      }

      // Saturating: a size from a module never wraps the end past zero.
      uint64_t end = file.size > UINT64_MAX - position ? UINT64_MAX : position + file.size;
      if (isSuffix(p.analyzeModule(), position, end)) {
        dlog() << kLogSuffix << ": " << position << " " << file.size << "\n";
        continue;
      }
      if (p.silencesItself()) silentUntil_[i] = end;
      coveredUntil_ = std::max(coveredUntil_, end);
      flushPending(position);
      if (callback_) {
        file.offset = position;
        callback_->found(file);
      }
      return;
    }
  }
}

bool Scanner::isSuffix(const FileModule* module, uint64_t start, uint64_t end) {
  // The module's furthest-reaching file so far.  Sectors are tested in
  // medium order, so a file that contains this one has been found before it.
  Reach& reach = reaches_[module];
  if (reach.end != 0 && start > reach.start && start < reach.end && end >= reach.end) return true;
  if (end > reach.end) reach = {start, end};
  return false;
}

void Scanner::finish(uint64_t position) { flushPending(position); }

void Scanner::flushPending(uint64_t position) {
  if (pendingIndex_ == -1) return;
  const Pattern& p = patterns_[pendingIndex_];
  uint64_t length = position >= pending_.offset ? position - pending_.offset : 0;
  pending_.size = std::min(length, p.maxSize());
  pending_.attributes.set("t", p.type());
  pendingIndex_ = -1;
  if (callback_) callback_->found(pending_);
}
