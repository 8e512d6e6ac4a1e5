// Puts a deleted file of a file system back together and proves it.
//
// A deleted file's allocation chain is gone; its directory entry still
// gives its first cluster and its size.  Cameras and computers fill a card
// front to back, so a file usually lies in the free clusters that follow
// its first one, passing over the clusters of files that stayed.  The
// readings tried, in order: the run of free clusters after the first one;
// the free clusters passing over those in use; a bounded search over the
// free clusters.  A reading counts only when the format module's analyze
// finds exactly the entry's size and type in it and the format's validator
// proves its content whole.
#pragma once

#include <cstdint>
#include <string>

#include "engine/ByteRun.h"
#include "engine/FragmentSearch.h"

class ClusterSpace;
class FileModule;
class Reader;

struct DeletedFileRebuild {
  enum Verdict {
    kProven,     // `runs` hold the file, proven; `method` says how they were found
    kDisproved,  // the free run holds the size but not the file
    kUnjudged,   // no validator for the type, or nothing to read
  };
  Verdict verdict = kUnjudged;
  std::string method;  // a "rebuilt" value
  ByteRuns runs;       // medium runs, `size` bytes in all
  bool fragmented = false;
  SearchResult search;  // when a search ran
  bool searched = false;
};

// The time the searches of one volume may take together, so that a card
// full of overwritten photos cannot make its scan last for hours.
struct SearchBudget {
  double secondsLeft = 120;
};

class DeletedFileRebuilder {
 public:
  // Neither is owned; both must outlive the rebuilder.  Searches draw on
  // `budget` when one is given and stop when it is spent.
  DeletedFileRebuilder(Reader& medium, ClusterSpace& space, SearchBudget* budget = nullptr);
  void setLimits(const SearchLimits& limits) { limits_ = limits; }

  // The deleted file of `size` bytes whose first cluster is `firstCluster`,
  // of type `type` ("t"), analyzed by `module` (may be null).
  DeletedFileRebuild rebuild(const std::string& type, FileModule* module, uint64_t firstCluster, uint64_t size);

  // Whether the bytes along `runs` (`size` bytes) are a whole file of the
  // type: `module` finds exactly that size and type, and the validator
  // proves the content.  Also for files rebuilt elsewhere.
  static bool confirms(Reader& medium, const ByteRuns& runs, uint64_t size, const std::string& type,
                       FileModule* module);

 private:
  // Free clusters from the first one on, `needed` of them at most;
  // passing over used ones when `skipUsed`, else stopping at the first.
  ByteRuns freeClusters(uint64_t firstCluster, uint64_t size, bool skipUsed, uint64_t& lookups);

  Reader& medium_;
  ClusterSpace& space_;
  SearchBudget* budget_;
  SearchLimits limits_;
};
