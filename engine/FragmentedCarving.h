// Files found by their signature whose content breaks off before their end:
// the search for the rest of them, after the sector walk.
//
// During the walk the stage stands between the scanner and the file case:
// it passes every found file on and notes the candidates, the files of a
// type that has a validator (found ones, and starts whose module refused
// them).  After the walk each candidate is validated where it lies; one that
// is not whole there is searched for its continuation over the clusters
// that no proven file holds, on the cluster grid of a file system on the
// medium, else the one the spacing of the files found shows.  A reassembly that
// the validator proves and the type's module confirms (exact size and type)
// is added as a fragmented file with "rebuilt" "reassembled"; a candidate
// that cannot be proven whole is added with "partial".  The files the
// scanner found are left as they are.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/BackgroundJudge.h"
#include "engine/FragmentSearch.h"
#include "engine/Scanner.h"

class FileCase;
class FileModule;
class InterfaceCallback;

struct CarvingFigures {
  uint64_t candidates = 0;  // noted during the walk
  uint64_t whole = 0;       // found whole where they lie
  uint64_t searched = 0;
  uint64_t reassembled = 0;
  uint64_t partial = 0;
  uint64_t checks = 0;
  uint64_t reads = 0;
  double seconds = 0;         // all searches together
  double longestSearch = 0;   // the longest one
  bool outOfTime = false;     // the stage's own budget ran out
};

class FragmentedCarving : public Scanner::Callback {
 public:
  // The case is not owned and must outlive the stage.
  explicit FragmentedCarving(FileCase& fileCase);

  void found(const FileModule::File& file) override;
  void foundRebuilt(const FileModule::File& file, const ByteRuns& runs) override;
  void refused(uint64_t position, const Pattern& pattern) override;

  void setLimits(const SearchLimits& limits) { limits_ = limits; }
  // All searches together stop after this long.
  void setTotalSeconds(double seconds) { totalSeconds_ = seconds; }
  // The bytes of the medium's blocks that files judged on the judging
  // thread may hold at a time; a larger file, or one that comes while the
  // thread is behind, is judged on the walk's.
  static constexpr uint64_t kMaxJudgedBytes = 16ull << 20;
  // A partial file shorter than this is not worth listing.
  static constexpr uint64_t kLeastPartial = 8192;
  // The reads all searches may make beyond twice the medium's blocks.
  static constexpr uint64_t kLeastReadBudget = 65536;
  // The most candidates noted; later ones are dropped.
  static constexpr size_t kMaxCandidates = 100000;

  // After the walk: judges and searches the candidates, adding what it
  // proves to the case.  progress->check() runs between candidates; its
  // InterruptedException passes through.
  void run(InterfaceCallback* progress);
  const CarvingFigures& figures() const { return figures_; }

  // The cluster grid the spacing of files shows: the largest cluster size
  // (512 bytes to 128 KiB) on which at least three quarters of `starts`
  // (and at least three) agree, else 512-byte sectors.
  static ClusterGrid gridFromStarts(const std::vector<uint64_t>& starts);

 private:
  struct Candidate {
    uint64_t offset = 0;
    uint64_t size = 0;  // as found; 0 when the module refused it
    uint64_t maxSize = 0;
    std::string type;
    FileModule* module = nullptr;
    // Judged where it lies: during the walk, while the cache still holds
    // its bytes, or after it.
    enum Verdict : uint8_t { kUnjudged, kWhole, kBroken, kUnknown } verdict = kUnjudged;
    uint64_t job = 0;  // the judging thread's, while its verdict is awaited
  };
  void note(const Candidate& candidate);
  // Judges a found candidate where it lies, within the stage's time; during
  // the walk on the judging thread when the cache holds all of it.
  void judge(Candidate& candidate, bool walking);
  bool judgeInBackground(Candidate& candidate);
  static Candidate::Verdict verdictOf(const Candidate& candidate, const FormatProof& proof);
  // Waits for the judging thread and gives its verdicts to the candidates.
  void finishJudging();
  // The grid a file starting at `offset` was stored on: of the volumes'
  // grids on which it starts at a cluster boundary the finest (its
  // boundaries hold a coarser grid's when they line up), else the one the
  // spacing of the files shows.
  ClusterGrid gridFor(uint64_t offset, const ClusterGrid& spacing) const;
  bool usable(uint64_t position) const;
  void searchFor(const Candidate& candidate, const ClusterGrid& grid, uint64_t readsLeft);

  FileCase& case_;
  SearchLimits limits_;
  double totalSeconds_ = 120;
  double judgingSeconds_ = 0;  // spent judging during the walk, on this thread
  std::unique_ptr<BackgroundJudge> background_;
  std::vector<BackgroundJudge::Verdict> verdicts_;  // of the judging thread, not yet given
  uint64_t jobs_ = 0;
  std::vector<Candidate> candidates_;
  std::vector<uint64_t> starts_;  // of every file the scanner found
  // Ranges of the medium held by files proven whole (start -> end).
  std::vector<std::pair<uint64_t, uint64_t>> held_;
  std::vector<uint64_t> fileStarts_;  // sorted: where a found file or candidate begins
  uint64_t clusterBytes_ = 0;  // of the grid of the search under way
  CarvingFigures figures_;
};
