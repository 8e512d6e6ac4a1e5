// The bounded search for the rest of a file.

#include "engine/FragmentSearch.h"

#include <algorithm>
#include <chrono>

#include "engine/FragmentReader.h"
#include "media/Reader.h"

namespace {

// How far a guess is read before it is judged on what it showed so far;
// the guesses that read that far are then read whole.
const uint64_t kProbeBytes = 256 * 1024;
// Time is looked at every so many checks.
const uint64_t kChecksPerClockLook = 32;

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

uint64_t ClusterGrid::nextBoundary(uint64_t position) const {
  uint64_t phase = position >= origin ? (position - origin) % clusterBytes
                                      : (clusterBytes - (origin - position) % clusterBytes) % clusterBytes;
  uint64_t step = clusterBytes - phase;
  return position > UINT64_MAX - step ? UINT64_MAX : position + step;
}

struct FragmentSearch::Guess {
  ByteRuns runs;
  uint64_t at = 0;        // the break: file offset where the last piece begins
  uint64_t progress = 0;  // how far past the break it read soundly
  bool reachedProbe = false;
};

FragmentSearch::FragmentSearch(Reader& medium, FormatValidator& validator, const ClusterGrid& grid,
                               const SearchLimits& limits, Usable usable)
    : medium_(medium), validator_(validator), grid_(grid), limits_(limits), usable_(std::move(usable)) {}

uint64_t FragmentSearch::extentFrom(uint64_t position, uint64_t most) const {
  const uint64_t mediumSize = medium_.size();
  if (position >= mediumSize) return 0;
  most = std::min(most, mediumSize - position);
  if (!grid_.valid()) return most;
  // The cluster that holds `position` was found usable by the caller.
  uint64_t end = grid_.nextBoundary(position);
  while (end - position < most && end < mediumSize && usable_(end)) end += grid_.clusterBytes;
  return std::min(end - position, most);
}

FormatProof FragmentSearch::judge(const ByteRuns& runs, uint64_t sameUntil, bool record) {
  FragmentReader reader(&medium_);
  reader.aim(runs);
  ++result_.checks;
  return validator_.check(reader, sameUntil, record);
}

bool FragmentSearch::provenWhole(const FormatProof& proof, uint64_t knownSize) const {
  return proof.verdict == FormatProof::kProven && (knownSize == 0 || proof.end == knownSize);
}

bool FragmentSearch::outOfBudget() {
  result_.reads = validator_.readsMade();
  if (result_.checks >= limits_.maxChecks || result_.reads >= limits_.maxReads) return true;
  if (result_.checks % kChecksPerClockLook == 0) result_.seconds = now() - startTime_;
  return result_.seconds >= limits_.maxSeconds;
}

SearchResult FragmentSearch::search(uint64_t start, uint64_t knownSize, uint64_t maxSize) {
  result_ = SearchResult();
  startTime_ = now();
  const uint64_t most = knownSize ? knownSize : maxSize;
  const uint64_t clusterBytes = grid_.clusterBytes;

  ByteRuns runs;
  uint64_t first = extentFrom(start, most);
  FormatProof proof;
  uint64_t readable = 0;  // the file reads soundly up to here
  if (first) {
    runs.push_back({0, start, first});
    proof = judge(runs, 0, true);
  }
  while (first) {
    if (provenWhole(proof, knownSize)) {
      result_.outcome = SearchResult::kWhole;
      runs = cutRuns(runs, proof.end);
      break;
    }
    if (proof.verdict == FormatProof::kUnknown) {
      result_.stop = "unknown";
      break;
    }
    // A file proven to end elsewhere than its entry says is broken there.
    const uint64_t failedAt = proof.verdict == FormatProof::kProven ? proof.end : proof.failedAt;
    const ByteRun last = runs.back();
    const uint64_t high = std::min(failedAt, last.fileOffset + last.length);
    uint64_t low = std::max(last.fileOffset, proof.soundUntil);
    if (high > limits_.maxBackBytes) low = std::max(low, high - limits_.maxBackBytes);

    // The breaks to try: cluster boundaries inside the last piece, nearest
    // to the failure first.
    std::vector<uint64_t> breaks;
    if (clusterBytes && high > last.fileOffset) {
      uint64_t m = last.imageOffset + (high - last.fileOffset);
      uint64_t boundary = grid_.isBoundary(m) ? m : grid_.nextBoundary(m) - clusterBytes;
      while (breaks.size() < limits_.maxBackClusters && boundary > last.imageOffset) {
        uint64_t b = last.fileOffset + (boundary - last.imageOffset);
        if (b <= low && !breaks.empty()) break;
        breaks.push_back(b);
        if (boundary < clusterBytes) break;
        boundary -= clusterBytes;
      }
    }
    readable = breaks.empty() ? high : breaks.front();
    if (!clusterBytes || breaks.empty()) {
      result_.stop = "lost";
      break;
    }
    if (runs.size() >= limits_.maxPieces) {
      result_.stop = "pieces";
      break;
    }

    Guess best;
    std::vector<Guess> reached;
    std::vector<ByteRuns> proven;
    bool budget = false;
    for (uint64_t b : breaks) {
      const uint64_t m = last.imageOffset + (b - last.fileOffset);
      ByteRuns prefix = cutRuns(runs, b);
      uint64_t q = m, usable = 0;
      for (uint64_t step = 0; usable < limits_.maxGapClusters && !budget; ++step) {
        if (q > medium_.size() - std::min(medium_.size(), clusterBytes) || step > 64 * uint64_t(limits_.maxGapClusters))
          break;
        q += clusterBytes;
        if (!usable_(q)) continue;
        ++usable;
        Guess guess;
        guess.at = b;
        guess.runs = prefix;
        uint64_t length = extentFrom(q, std::min(most - b, kProbeBytes));
        if (!length) continue;
        guess.runs.push_back({b, q, length});
        FormatProof p = judge(guess.runs, b, false);
        if (provenWhole(p, knownSize)) {
          proven.push_back(cutRuns(guess.runs, p.end));
        } else if (p.verdict != FormatProof::kUnknown) {
          uint64_t reach = p.verdict == FormatProof::kProven ? p.end : p.failedAt;
          guess.progress = reach > b ? reach - b : 0;
          // Stopped by the end of what was read of it, not by its content.
          guess.reachedProbe = p.verdict == FormatProof::kBroken && reach >= b + length && length < most - b;
          if (guess.reachedProbe)
            reached.push_back(guess);
          else if (guess.progress > best.progress)
            best = guess;
        }
        budget = outOfBudget();
      }
      if (budget) break;
    }
    // The guesses that read as far as they were read are read whole.
    for (Guess& guess : reached) {
      if (budget) break;
      ByteRun& piece = guess.runs.back();
      piece.length = extentFrom(piece.imageOffset, most - guess.at);
      FormatProof p = judge(guess.runs, guess.at, false);
      if (provenWhole(p, knownSize)) {
        proven.push_back(cutRuns(guess.runs, p.end));
      } else if (p.verdict != FormatProof::kUnknown) {
        uint64_t reach = p.verdict == FormatProof::kProven ? p.end : p.failedAt;
        guess.progress = reach > guess.at ? reach - guess.at : 0;
        if (guess.progress > best.progress) best = guess;
      }
      budget = outOfBudget();
    }
    if (budget) {
      result_.stop = "budget";
      break;
    }
    if (proven.size() == 1) {
      result_.outcome = SearchResult::kWhole;
      runs = proven.front();
      break;
    }
    if (proven.size() > 1) {
      result_.stop = "ambiguous";
      break;
    }
    if (best.runs.empty() || best.progress < limits_.minProgress) {
      result_.stop = "lost";
      break;
    }
    runs = best.runs;
    ByteRun& piece = runs.back();
    piece.length = extentFrom(piece.imageOffset, most - best.at);
    proof = judge(runs, best.at, true);
  }

  result_.reads = validator_.readsMade();
  result_.seconds = now() - startTime_;
  if (result_.outcome != SearchResult::kWhole) {
    runs = cutRuns(runs, readable);
    if (!runs.empty()) result_.outcome = SearchResult::kPartial;
  }
  result_.runs = runs;
  result_.pieces = static_cast<uint32_t>(runs.size());
  result_.size = runs.empty() ? 0 : runs.back().fileOffset + runs.back().length;
  return result_;
}
