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
// The guesses followed from each break, best first.
const size_t kBranches = 6;
// Once a reading is proven, each break is tried with this many of its
// nearest continuations only: enough to see a second proof close by.
const uint64_t kGapsAfterProof = 64;

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
  uint64_t at = 0;        // the break: file offset where the new piece begins
  uint64_t piece = 0;     // medium position of the new piece
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

namespace {
// How many bytes from the start two readings of the file have in common.
uint64_t commonPrefix(const ByteRuns& a, const ByteRuns& b) {
  uint64_t common = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i].fileOffset != b[i].fileOffset || a[i].imageOffset != b[i].imageOffset) break;
    common = a[i].fileOffset + std::min(a[i].length, b[i].length);
    if (a[i].length != b[i].length) break;
  }
  return common;
}
}  // namespace

FormatProof FragmentSearch::judge(const ByteRuns& runs, uint64_t sameUntil, bool record) {
  FragmentReader reader(&medium_);
  reader.aim(runs);
  ++result_.checks;
  // The validator resumes from what it kept of the last recorded reading:
  // only as far as this one reads the same bytes.
  sameUntil = std::min(sameUntil, commonPrefix(recorded_, reader.runs()));
  if (record) recorded_ = reader.runs();
  return validator_.check(reader, sameUntil, record);
}

bool FragmentSearch::provenWhole(const FormatProof& proof, uint64_t knownSize) const {
  return proof.verdict == FormatProof::kProven && (knownSize == 0 || proof.end == knownSize);
}

bool FragmentSearch::outOfBudget() {
  result_.reads = validator_.readsMade() + probeReads_;
  if (result_.checks >= limits_.maxChecks || result_.reads >= limits_.maxReads) return true;
  if (result_.checks % kChecksPerClockLook == 0) result_.seconds = now() - startTime_;
  return result_.seconds >= limits_.maxSeconds;
}

uint64_t FragmentSearch::reachOf(const FormatProof& proof) const {
  if (proof.verdict == FormatProof::kProven) return proof.end;
  return validator_.judgesUpToFailure() ? proof.failedAt : proof.soundUntil;
}

void FragmentSearch::keepPartial(const ByteRuns& runs, uint64_t readable) {
  if (readable > partialSize_) {
    partialSize_ = readable;
    partial_ = cutRuns(runs, readable);
  }
}

void FragmentSearch::addProven(const ByteRuns& runs) {
  for (const ByteRuns& p : proven_)
    if (p.size() == runs.size() &&
        std::equal(p.begin(), p.end(), runs.begin(), [](const ByteRun& a, const ByteRun& b) {
          return a.fileOffset == b.fileOffset && a.imageOffset == b.imageOffset && a.length == b.length;
        }))
      return;
  proven_.push_back(runs);
}

uint64_t FragmentSearch::pieceLength(const Guess& guess, uint64_t pieceEnd) const {
  if (anchored_) return std::min(pieceEnd - guess.at, medium_.size() - guess.piece);
  return extentFrom(guess.piece, pieceEnd - guess.at);
}

void FragmentSearch::appendTail(ByteRuns& runs) const {
  if (!anchored_ || runs.empty() || runs.back().fileOffset + runs.back().length != anchorAt_) return;
  uint64_t length = extentFrom(anchorMedium_, most_ - anchorAt_);
  if (length) runs.push_back({anchorAt_, anchorMedium_, length});
}

void FragmentSearch::followAnchors(const ByteRuns& runs, const FormatProof& proof) {
  const uint64_t clusterBytes = grid_.clusterBytes;
  const ByteRun last = runs.back();
  const uint64_t failedAt = proof.failedAt;
  if (failedAt < last.fileOffset || failedAt >= most_) return;
  // Pieces end at cluster boundaries, so the structure lies at the same
  // place within a cluster, whole clusters further on.
  const uint64_t at = last.imageOffset + (failedAt - last.fileOffset);
  std::vector<uint64_t> anchors;
  std::string bytes(proof.expected.size(), '\0');
  for (uint64_t g = 1; g <= limits_.maxGapClusters && anchors.size() < limits_.maxAnchors; ++g) {
    uint64_t candidate = at + g * clusterBytes;
    uint64_t probe = candidate + proof.expectedAt;
    if (probe < candidate || !Reader::fits(probe, bytes.size(), medium_.size())) break;
    ++probeReads_;
    if (medium_.read(probe, &bytes[0], bytes.size()) && bytes == proof.expected) anchors.push_back(candidate);
  }
  for (uint64_t anchor : anchors) {
    if (budget_ || proven_.size() > 1) return;
    anchored_ = true;
    anchorAt_ = failedAt;
    anchorMedium_ = anchor;
    ByteRuns base = cutRuns(runs, failedAt);
    appendTail(base);
    FormatProof p = judge(base, failedAt, true);
    budget_ = outOfBudget();
    explore(base, p);
    anchored_ = false;
  }
}

void FragmentSearch::explore(const ByteRuns& runs, const FormatProof& proof) {
  if (budget_) return;
  // Pieces break at cluster boundaries only; a reading that jumps elsewhere
  // (one ending where an anchored tail begins) proves nothing about the
  // bytes before the jump, so it is judged broken there.
  FormatProof judged = proof;
  const uint64_t jump = misplacedJump(runs);
  if (jump && (judged.verdict != FormatProof::kBroken || judged.failedAt > jump)) {
    judged = FormatProof();
    judged.verdict = FormatProof::kBroken;
    judged.failedAt = jump;
    judged.soundUntil = std::min(proof.soundUntil, jump);
  }
  if (provenWhole(judged, knownSize_)) {
    addProven(cutRuns(runs, judged.end));
    return;
  }
  if (judged.verdict == FormatProof::kUnknown) {
    unknown_ = true;
    return;
  }
  return exploreBroken(runs, judged);
}

uint64_t FragmentSearch::misplacedJump(const ByteRuns& runs) const {
  if (!grid_.valid()) return 0;
  for (size_t i = 1; i < runs.size(); ++i)
    if (!grid_.isBoundary(runs[i].imageOffset) || !grid_.isBoundary(runs[i - 1].imageOffset + runs[i - 1].length))
      return runs[i].fileOffset;
  return 0;
}

void FragmentSearch::exploreBroken(const ByteRuns& runs, const FormatProof& proof) {
  const uint64_t clusterBytes = grid_.clusterBytes;
  if (proof.verdict == FormatProof::kBroken && !proof.expected.empty()) {
    if (!anchored_ && clusterBytes && runs.size() < limits_.maxPieces) followAnchors(runs, proof);
    return;
  }
  // A file proven to end elsewhere than its entry says is broken there.
  const uint64_t failedAt = proof.verdict == FormatProof::kProven ? proof.end : proof.failedAt;
  // The piece where it broke: the last, or the one before an anchored tail.
  size_t index = runs.size() - 1;
  if (anchored_) {
    if (failedAt > anchorAt_) return;  // the tail itself does not fit
    while (index > 0 && runs[index].fileOffset >= failedAt) --index;
  }
  const ByteRun last = runs[index];
  const uint64_t high = std::min(failedAt, last.fileOffset + last.length);
  const uint64_t reach = validator_.detectionReach();
  uint64_t low = std::max(last.fileOffset, proof.soundUntil);
  if (high > reach) low = std::max(low, high - reach);
  const uint64_t reachClusters = std::min<uint64_t>(64, reach / std::max<uint64_t>(clusterBytes, 1));
  const uint32_t mostBreaks = std::max<uint32_t>(limits_.maxBackClusters, static_cast<uint32_t>(reachClusters));

  // The breaks to try: cluster boundaries inside that piece, nearest to the
  // failure first.
  std::vector<uint64_t> breaks;
  if (clusterBytes && high > last.fileOffset) {
    uint64_t m = last.imageOffset + (high - last.fileOffset);
    uint64_t boundary = grid_.isBoundary(m) ? m : grid_.nextBoundary(m) - clusterBytes;
    while (breaks.size() < mostBreaks && boundary > last.imageOffset) {
      uint64_t b = last.fileOffset + (boundary - last.imageOffset);
      if (b <= low && !breaks.empty()) break;
      breaks.push_back(b);
      if (boundary < clusterBytes) break;
      boundary -= clusterBytes;
    }
  }
  // What reads soundly from the file's first byte on, in its first piece:
  // the pieces after it are guesses.
  if (runs.size() == 1 || (anchored_ && index == 0)) keepPartial(runs, breaks.empty() ? high : breaks.front());
  if (breaks.empty()) return;
  if (runs.size() >= limits_.maxPieces) {
    tooManyPieces_ = true;
    return;
  }

  // A piece ends at the anchor at the latest, where the tail goes on.
  const uint64_t pieceEnd = anchored_ ? anchorAt_ : most_;
  std::vector<Guess> guesses;
  // Judges a guess; one that read as far as it was read is read whole at
  // once (that is rare: only a fitting piece gets so far).
  auto judgeGuess = [&](Guess& guess, uint64_t length) {
    for (bool whole = false;; whole = true) {
      FormatProof p = judge(guess.runs, guess.at, false);
      budget_ = outOfBudget();
      if (provenWhole(p, knownSize_)) {
        addProven(cutRuns(guess.runs, p.end));
        return;
      }
      if (p.verdict == FormatProof::kUnknown) return;
      uint64_t reach = reachOf(p);
      guess.progress = reach > guess.at ? reach - guess.at : 0;
      // Stopped by the end of what was read of it, not by its content.
      bool ended = p.verdict == FormatProof::kBroken && p.failedAt >= guess.at + length;
      if (ended && !whole && length < pieceEnd - guess.at && !budget_) {
        length = pieceLength(guess, pieceEnd);
        guess.runs = cutRuns(runs, guess.at);
        guess.runs.push_back({guess.at, guess.piece, length});
        appendTail(guess.runs);
        continue;
      }
      // Read soundly to the end of its clusters: it may go on elsewhere.
      guess.reachedProbe = ended;
      if (guess.progress >= limits_.minProgress) guesses.push_back(guess);
      return;
    }
  };
  for (uint64_t b : breaks) {
    const uint64_t m = last.imageOffset + (b - last.fileOffset);
    ByteRuns prefix = cutRuns(runs, b);
    uint64_t q = m, usable = 0;
    for (uint64_t step = 0; usable < limits_.maxGapClusters && !budget_; ++step) {
      if (!proven_.empty() && usable >= kGapsAfterProof) break;
      if (q > medium_.size() - std::min(medium_.size(), clusterBytes) || step > 64 * uint64_t(limits_.maxGapClusters))
        break;
      q += clusterBytes;
      if (!usable_(q)) continue;
      ++usable;
      Guess guess;
      guess.at = b;
      guess.piece = q;
      guess.runs = prefix;
      uint64_t length = extentFrom(q, std::min(pieceEnd - b, kProbeBytes));
      if (!length) continue;
      // Before an anchored tail the piece reaches the anchor whatever lies
      // there: a movie's samples can only be judged with its index.
      if (anchored_) length = std::min(pieceEnd - b, medium_.size() - q);
      guess.runs.push_back({b, q, length});
      appendTail(guess.runs);
      judgeGuess(guess, length);
    }
    if (budget_) return;
  }
  // Reading furthest says little on its own (a wrong piece may be decoded
  // into step with the file's own later data), so the best few are
  // followed each: first those that read soundly to the end of their
  // clusters, then those that read furthest.
  std::stable_sort(guesses.begin(), guesses.end(), [](const Guess& a, const Guess& b) {
    return a.reachedProbe != b.reachedProbe ? a.reachedProbe : a.progress > b.progress;
  });
  if (guesses.size() > kBranches) guesses.resize(kBranches);
  // Once a reading is proven, other guesses are followed no further than
  // the step that proved it: those of that step were judged, and one with
  // more pieces is not taken over it.
  for (Guess& guess : guesses) {
    if (budget_ || !proven_.empty()) return;
    ByteRuns whole = cutRuns(runs, guess.at);
    whole.push_back({guess.at, guess.piece, pieceLength(guess, pieceEnd)});
    appendTail(whole);
    FormatProof p = judge(whole, guess.at, true);
    budget_ = outOfBudget();
    explore(whole, p);
  }
}

SearchResult FragmentSearch::search(uint64_t start, uint64_t knownSize, uint64_t maxSize) {
  result_ = SearchResult();
  startTime_ = now();
  knownSize_ = knownSize;
  most_ = knownSize ? knownSize : maxSize;
  proven_.clear();
  recorded_.clear();
  partial_.clear();
  partialSize_ = 0;
  budget_ = unknown_ = tooManyPieces_ = anchored_ = false;
  probeReads_ = 0;

  uint64_t first = extentFrom(start, most_);
  if (first) {
    ByteRuns runs{{0, start, first}};
    FormatProof proof = judge(runs, 0, true);
    explore(runs, proof);
  }

  result_.reads = validator_.readsMade() + probeReads_;
  result_.seconds = now() - startTime_;
  ByteRuns runs;
  // One proof is enough even when the budget ran out before every other
  // guess was followed; two proofs of different pieces are none.
  if (proven_.size() == 1) {
    result_.outcome = SearchResult::kWhole;
    runs = proven_.front();
  } else {
    result_.stop = proven_.size() > 1 ? "ambiguous"
                   : unknown_         ? "unknown"
                   : budget_          ? "budget"
                   : tooManyPieces_   ? "pieces"
                                      : "lost";
    runs = partial_;
    if (!runs.empty()) result_.outcome = SearchResult::kPartial;
  }
  result_.runs = runs;
  result_.pieces = static_cast<uint32_t>(runs.size());
  result_.size = runs.empty() ? 0 : runs.back().fileOffset + runs.back().length;
  return result_;
}
