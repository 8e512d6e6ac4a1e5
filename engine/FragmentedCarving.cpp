// The search for the rest of carved files that break off.

#include "engine/FragmentedCarving.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <unordered_map>

#include "engine/FileCase.h"
#include "engine/FormatValidator.h"
#include "engine/FragmentReader.h"
#include "engine/RebuiltFile.h"
#include "media/BlockCache.h"
#include "media/ByteCursor.h"
#include "media/ReaderReader.h"
#include "shell/DebugLog.h"
#include "shell/InterfaceCallback.h"

namespace {

// Log tags of this file.
const LogTag kLogGrid{"FragmentedCarving", 40};
const LogTag kLogSearch{"FragmentedCarving", 41};
const LogTag kLogOutOfTime{"FragmentedCarving", 42};
const LogTag kLogUnconfirmed{"FragmentedCarving", 43};
const LogTag kLogSlow{"FragmentedCarving", 44};

// A search that takes longer than this has its time logged.
const double kSlowSearch = 0.1;

const uint64_t kLeastGrid = 512;
const uint64_t kMostGrid = 128 * 1024;
// The most file starts looked at to find the cluster size.
const size_t kMostStarts = 100000;
// Without a pattern's Max Size, the most a carved file may be.
const uint64_t kDefaultMaxSize = 64ull * 1024 * 1024;

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

constexpr uint64_t FragmentedCarving::kLeastPartial;
constexpr size_t FragmentedCarving::kMaxCandidates;

FragmentedCarving::FragmentedCarving(FileCase& fileCase) : case_(fileCase) {}

void FragmentedCarving::note(const Candidate& candidate) {
  if (candidates_.size() >= kMaxCandidates) return;
  if (!candidates_.empty() && candidates_.back().offset == candidate.offset &&
      candidates_.back().type == candidate.type) {
    // A later pattern of the same type found the file the earlier refused.
    if (candidate.size) candidates_.back() = candidate;
    return;
  }
  ++figures_.candidates;
  candidates_.push_back(candidate);
}

void FragmentedCarving::found(const FileModule::File& file) {
  case_.found(file);
  if (file.attributes.getInt32("fs", -1) != -1 || file.offset == UINT64_MAX) return;
  if (starts_.size() < kMostStarts) starts_.push_back(file.offset);
  Candidate c;
  c.type = file.attributes.getString("t");
  if (!hasValidator(c.type) || file.size == 0) return;
  c.offset = file.offset;
  c.size = file.size;
  c.module = case_.registry()->findModule(c.type);
  // A file a file system reported first is that file system's.
  const FileModule::File* kept = case_.findFile(FileCase::keyOf(file));
  if (kept && kept->attributes.getInt32("fs", -1) >= 0) return;
  judge(c, true);
  note(c);
}

FragmentedCarving::Candidate::Verdict FragmentedCarving::verdictOf(const Candidate& c, const FormatProof& proof) {
  if (proof.verdict == FormatProof::kUnknown) return Candidate::kUnknown;
  if (proof.verdict == FormatProof::kProven && proof.end == c.size) return Candidate::kWhole;
  return Candidate::kBroken;
}

void FragmentedCarving::judge(Candidate& c, bool walking) {
  if (!c.size) return;
  double spent = judgingSeconds_ + (background_ ? background_->seconds() : 0);
  if (spent > totalSeconds_) return;
  if (walking && judgeInBackground(c)) return;
  const double start = now();
  ReaderReader window(case_.cache());
  c.verdict = Candidate::kBroken;
  if (window.setWindow(c.offset, c.size)) {
    std::unique_ptr<FormatValidator> validator = validatorFor(c.type);
    c.verdict = verdictOf(c, validator->check(window, 0, false));
  }
  judgingSeconds_ += now() - start;
}

bool FragmentedCarving::judgeInBackground(Candidate& c) {
  BlockCache* cache = case_.cache();
  if (c.size > kMaxJudgedBytes || c.offset >= cache->size() || c.size > cache->size() - c.offset) return false;
  BackgroundJudge::Job job;
  for (uint64_t at = c.offset; at < c.offset + c.size; at = job.blocks.back()->start + job.blocks.back()->length) {
    job.blocks.push_back(cache->held(at));
    if (!job.blocks.back()) return false;
  }
  if (!background_) background_.reset(new BackgroundJudge(kMaxJudgedBytes));
  c.job = job.id = ++jobs_;
  job.type = c.type;
  job.offset = c.offset;
  job.size = c.size;
  if (background_->offer(job, verdicts_)) return true;
  c.job = 0;
  return false;
}

void FragmentedCarving::finishJudging() {
  if (!background_) return;
  background_->finish(verdicts_);
  judgingSeconds_ += background_->seconds();
  background_.reset();
  std::unordered_map<uint64_t, const FormatProof*> proofs;
  for (const BackgroundJudge::Verdict& v : verdicts_) proofs[v.id] = &v.proof;
  for (Candidate& c : candidates_) {
    if (!c.job) continue;
    auto found = proofs.find(c.job);
    if (found != proofs.end()) c.verdict = verdictOf(c, *found->second);
    c.job = 0;
  }
  verdicts_.clear();
}

void FragmentedCarving::foundRebuilt(const FileModule::File& file, const ByteRuns& runs) {
  case_.foundRebuilt(file, runs);
}

void FragmentedCarving::refused(uint64_t position, const Pattern& pattern) {
  if (!hasValidator(pattern.type())) return;
  Candidate c;
  c.offset = position;
  c.maxSize = pattern.maxSize();
  c.type = pattern.type();
  c.module = pattern.analyzeModule();
  note(c);
}

ClusterGrid FragmentedCarving::gridFromStarts(const std::vector<uint64_t>& starts) {
  ClusterGrid grid;
  grid.clusterBytes = kLeastGrid;
  for (uint64_t size = kMostGrid; size > kLeastGrid; size /= 2) {
    std::map<uint64_t, size_t> phases;
    for (uint64_t s : starts) ++phases[s % size];
    auto most = std::max_element(phases.begin(), phases.end(),
                                 [](const std::pair<const uint64_t, size_t>& a,
                                    const std::pair<const uint64_t, size_t>& b) { return a.second < b.second; });
    if (most != phases.end() && most->second >= 3 && 4 * most->second >= 3 * starts.size()) {
      grid.origin = most->first;
      grid.clusterBytes = size;
      return grid;
    }
  }
  return grid;
}

ClusterGrid FragmentedCarving::gridFor(uint64_t offset, const ClusterGrid& spacing) const {
  ClusterGrid best;
  for (size_t i = 0; i < case_.volumeCount(); ++i) {
    ClusterGrid g;
    if (!case_.volume(i)->clusterGrid(g.origin, g.clusterBytes) || !g.clusterBytes || !g.isBoundary(offset)) continue;
    if (!best.valid() || g.clusterBytes < best.clusterBytes) best = g;
  }
  return best.valid() ? best : spacing;
}

bool FragmentedCarving::usable(uint64_t position) const {
  auto after = std::upper_bound(held_.begin(), held_.end(), std::make_pair(position, UINT64_MAX));
  if (after != held_.begin() && std::prev(after)->second > position) return false;
  // A cluster where another file begins is that file's.
  auto start = std::lower_bound(fileStarts_.begin(), fileStarts_.end(), position);
  return start == fileStarts_.end() || *start >= position + clusterBytes_;
}

void FragmentedCarving::run(InterfaceCallback* progress) {
  finishJudging();
  if (candidates_.empty()) return;
  Reader* medium = case_.cache();
  std::vector<uint64_t> starts = starts_;
  for (const Candidate& c : candidates_) starts.push_back(c.offset);
  const ClusterGrid spacing = gridFromStarts(starts);
  dlog() << kLogGrid << ": " << spacing.origin << " " << spacing.clusterBytes << " " << candidates_.size() << "\n";
  std::sort(starts.begin(), starts.end());
  fileStarts_ = std::move(starts);

  // The clusters of the files a file system accounts for are theirs; a
  // candidate one of them starts at is that file.
  std::vector<uint64_t> accounted;
  for (const auto& entry : case_.files()) {
    const FileModule::File& f = entry.second;
    if (f.attributes.getInt32("fs", -1) < 0 || isPartial(f) || !f.size) continue;
    accounted.push_back(f.offset);
    for (const ByteRun& run : case_.byteRunsFor(f)) held_.push_back({run.imageOffset, run.imageOffset + run.length});
  }
  std::sort(accounted.begin(), accounted.end());
  // Files whole where they lie hold their clusters.  Judging them counts
  // against the stage's time too; most were judged during the walk.
  const double start = now() - judgingSeconds_;
  std::vector<const Candidate*> broken;
  size_t judged = 0;
  for (Candidate& c : candidates_) {
    if (progress && ++judged % 64 == 0) progress->check();
    if (std::binary_search(accounted.begin(), accounted.end(), c.offset)) continue;
    if (now() - start > totalSeconds_) {
      figures_.outOfTime = true;
      dlog() << kLogOutOfTime << ": " << judged << " " << candidates_.size() << "\n";
      return;
    }
    if (c.verdict == Candidate::kUnjudged && c.size) judge(c, false);
    // A file its validator cannot judge is left as it was found.
    if (c.verdict == Candidate::kUnknown) continue;
    if (c.verdict == Candidate::kWhole) {
      ++figures_.whole;
      held_.push_back({c.offset, c.offset + c.size});
    } else {
      broken.push_back(&c);
    }
  }
  std::sort(held_.begin(), held_.end());

  // All searches together read at most about twice the medium in the
  // validators' blocks, whatever its content: a medium full of hopeless
  // candidates (headers cut short among zeros) costs seconds, not minutes.
  const uint64_t readBudget = 2 * (medium->size() / ByteCursor::kDefaultBlock) + kLeastReadBudget;
  for (const Candidate* c : broken) {
    if (progress) progress->check();
    if (now() - start > totalSeconds_ || figures_.reads >= readBudget) {
      figures_.outOfTime = true;
      dlog() << kLogOutOfTime << ": " << figures_.searched << " " << broken.size() << "\n";
      break;
    }
    // A start inside a proven file is a part of it (a preview, a frame).
    auto after = std::upper_bound(held_.begin(), held_.end(), std::make_pair(c->offset, UINT64_MAX));
    if (after != held_.begin() && std::prev(after)->second > c->offset) continue;
    searchFor(*c, gridFor(c->offset, spacing), readBudget - figures_.reads);
  }
}

void FragmentedCarving::searchFor(const Candidate& c, const ClusterGrid& grid, uint64_t readsLeft) {
  Reader* medium = case_.cache();
  clusterBytes_ = grid.clusterBytes;
  std::unique_ptr<FormatValidator> validator = validatorFor(c.type);
  SearchLimits limits = limits_;
  limits.maxReads = std::min(limits.maxReads, std::max<uint64_t>(readsLeft, 1));
  FragmentSearch search(*medium, *validator, grid, limits, [this](uint64_t p) { return usable(p); });
  uint64_t maxSize = c.maxSize ? c.maxSize : std::max(c.size, kDefaultMaxSize);
  SearchResult r = search.search(c.offset, 0, maxSize);
  ++figures_.searched;
  figures_.checks += r.checks;
  figures_.reads += r.reads;
  figures_.seconds += r.seconds;
  figures_.longestSearch = std::max(figures_.longestSearch, r.seconds);
  dlog() << kLogSearch << ": " << c.offset << " " << c.type << " " << r.outcome << " " << r.stop << " " << r.pieces
         << " " << r.size << " " << r.checks << " " << r.reads << "\n";
  if (r.seconds >= kSlowSearch) dlog() << kLogSlow << ": " << c.offset << " " << r.seconds << "\n";
  if (r.outcome == SearchResult::kNothing) return;

  bool whole = r.outcome == SearchResult::kWhole;
  // One piece, as the scanner found it: nothing to add.
  if (whole && r.runs.size() == 1 && r.size == c.size) return;
  if (whole && c.module) {
    FragmentReader reader(medium);
    reader.aim(r.runs);
    FileModule::File analyzed;
    if (!c.module->analyze(reader, analyzed) || analyzed.size != r.size ||
        analyzed.attributes.getString("t") != c.type) {
      dlog() << kLogUnconfirmed << ": " << c.offset << " " << r.size << " " << analyzed.size << "\n";
      whole = false;
    }
  }
  if (!whole && r.size < kLeastPartial) return;
  FileModule::File file;
  file.offset = c.offset;
  file.size = r.size;
  file.attributes.set("t", c.type);
  file.attributes.setBool("fragmented", r.runs.size() > 1);
  file.attributes.set(kRebuiltKey, r.runs.size() > 1 ? kRebuiltReassembled : kRebuiltContiguous);
  if (!whole) file.attributes.setBool(kPartialKey, true);
  if (whole)
    ++figures_.reassembled;
  else
    ++figures_.partial;
  case_.foundRebuilt(file, r.runs);
}
