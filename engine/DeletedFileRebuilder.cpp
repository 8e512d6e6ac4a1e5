// Deleted files put back together from free clusters.

#include "engine/DeletedFileRebuilder.h"

#include <algorithm>

#include "engine/ClusterSpace.h"
#include "engine/FileModule.h"
#include "engine/FormatValidator.h"
#include "engine/FragmentReader.h"
#include "engine/RebuiltFile.h"
#include "media/ReaderReader.h"
#include "shell/DebugLog.h"

namespace {

// Log tags of this file.
const LogTag kLogProven{"DeletedFileRebuilder", 40};
const LogTag kLogSearch{"DeletedFileRebuilder", 41};
const LogTag kLogNotProven{"DeletedFileRebuilder", 42};
const LogTag kLogSlow{"DeletedFileRebuilder", 43};

// A search that takes longer than this has its time logged.
const double kSlowSearch = 0.1;

// Used clusters passed over while reading a deleted file along the free
// ones: at least this many, and up to this many times the file's clusters.
const uint64_t kLeastSkipped = 4096;
const uint64_t kSkippedPerCluster = 8;

uint64_t bytesIn(const ByteRuns& runs) { return runs.empty() ? 0 : runs.back().fileOffset + runs.back().length; }

enum class Judgement { kConfirmed, kRefused, kUnknown };

Judgement judge(Reader& medium, const ByteRuns& runs, uint64_t size, const std::string& type, FileModule* module) {
  std::unique_ptr<FormatValidator> validator = validatorFor(type);
  if (!validator) return Judgement::kUnknown;
  FragmentReader reader(&medium);
  reader.aim(runs);
  if (reader.size() < size) return Judgement::kRefused;
  FormatProof proof = validator->check(reader, 0, false);
  if (proof.verdict == FormatProof::kUnknown) return Judgement::kUnknown;
  if (proof.verdict != FormatProof::kProven || proof.end != size) return Judgement::kRefused;
  if (module) {
    ReaderReader window(&reader);
    FileModule::File file;
    if (!window.setWindow(0, size) || !module->analyze(window, file)) return Judgement::kRefused;
    if (file.size != size || file.attributes.getString("t") != type) return Judgement::kRefused;
  }
  return Judgement::kConfirmed;
}

}  // namespace

DeletedFileRebuilder::DeletedFileRebuilder(Reader& medium, ClusterSpace& space, SearchBudget* budget)
    : medium_(medium), space_(space), budget_(budget) {}

bool DeletedFileRebuilder::confirms(Reader& medium, const ByteRuns& runs, uint64_t size, const std::string& type,
                                    FileModule* module) {
  return judge(medium, runs, size, type, module) == Judgement::kConfirmed;
}

ByteRuns DeletedFileRebuilder::freeClusters(uint64_t firstCluster, uint64_t size, bool skipUsed, uint64_t& lookups) {
  ByteRuns runs;
  const uint64_t clusterBytes = space_.clusterBytes();
  if (!clusterBytes) return runs;
  const uint64_t needed = size / clusterBytes + (size % clusterBytes ? 1 : 0);
  const uint64_t mostSkipped = std::max(kLeastSkipped, kSkippedPerCluster * needed);
  uint64_t collected = 0, skipped = 0;
  for (uint64_t c = firstCluster; collected < needed && c <= space_.lastCluster(); ++c) {
    ++lookups;
    int64_t at = space_.offsetOfCluster(c);
    if (at < 0) break;
    if (!space_.isFree(c)) {
      if (!skipUsed || ++skipped > mostSkipped) break;
      continue;
    }
    uint64_t fileOffset = collected * clusterBytes;
    appendByteRun(runs, fileOffset, static_cast<uint64_t>(at), std::min(clusterBytes, size - fileOffset));
    ++collected;
  }
  return runs;
}

DeletedFileRebuild DeletedFileRebuilder::rebuild(const std::string& type, FileModule* module, uint64_t firstCluster,
                                                 uint64_t size) {
  DeletedFileRebuild out;
  if (size == 0 || !space_.clusterBytes() || !validatorFor(type)) return out;
  uint64_t lookups = 0;
  const ByteRuns freeRun = freeClusters(firstCluster, size, false, lookups);
  const bool runHoldsSize = bytesIn(freeRun) >= size;
  auto proven = [&](const ByteRuns& runs, const char* method) {
    out.verdict = DeletedFileRebuild::kProven;
    out.method = method;
    out.runs = runs;
    out.fragmented = runs.size() > 1;
    dlog() << kLogProven << ": " << firstCluster << " " << size << " " << method << " " << runs.size() << "\n";
    return out;
  };

  Judgement first = Judgement::kRefused;
  if (runHoldsSize) {
    first = judge(medium_, freeRun, size, type, module);
    if (first == Judgement::kConfirmed) return proven(freeRun, kRebuiltFreeRun);
    // A file its validator cannot judge is left to the plain reading.
    if (first == Judgement::kUnknown) return out;
  } else {
    ByteRuns skipping = freeClusters(firstCluster, size, true, lookups);
    if (bytesIn(skipping) >= size) {
      Judgement j = judge(medium_, skipping, size, type, module);
      if (j == Judgement::kConfirmed) return proven(skipping, kRebuiltFreeSkippingUsed);
      if (j == Judgement::kUnknown) return out;
    }
  }

  // The search, over free clusters only.
  std::unique_ptr<FormatValidator> validator = validatorFor(type);
  int64_t start = space_.offsetOfCluster(firstCluster);
  int64_t origin = space_.offsetOfCluster(2);
  if (start >= 0 && origin >= 0 && (!budget_ || budget_->secondsLeft > 0)) {
    SearchLimits limits = limits_;
    if (budget_) limits.maxSeconds = std::min(limits.maxSeconds, budget_->secondsLeft);
    ClusterGrid grid;
    grid.origin = static_cast<uint64_t>(origin);
    grid.clusterBytes = space_.clusterBytes();
    ClusterSpace& space = space_;
    FragmentSearch search(medium_, *validator, grid, limits, [&space](uint64_t position) {
      int64_t c = space.clusterAt(position);
      return c >= 0 && space.isFree(static_cast<uint64_t>(c));
    });
    out.search = search.search(static_cast<uint64_t>(start), size, size);
    out.searched = true;
    if (budget_) budget_->secondsLeft -= out.search.seconds;
    const SearchResult& r = out.search;
    dlog() << kLogSearch << ": " << firstCluster << " " << size << " " << r.outcome << " " << r.stop << " "
           << r.pieces << " " << r.checks << " " << r.reads << "\n";
    if (r.seconds >= kSlowSearch) dlog() << kLogSlow << ": " << firstCluster << " " << r.seconds << "\n";
    if (r.outcome == SearchResult::kWhole && judge(medium_, r.runs, size, type, module) == Judgement::kConfirmed)
      return proven(r.runs, kRebuiltReassembled);
  }
  dlog() << kLogNotProven << ": " << firstCluster << " " << size << " " << runHoldsSize << "\n";
  if (runHoldsSize) out.verdict = DeletedFileRebuild::kDisproved;
  return out;
}
