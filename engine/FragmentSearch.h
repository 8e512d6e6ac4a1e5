// The bounded search for the rest of a file whose first piece is known.
//
// Files are stored in whole clusters, so a file cut into pieces breaks at a
// cluster boundary and goes on at another one.  From the file's first byte
// the search reads on while the clusters may belong to it; where the
// format's validator finds the content broken, it tries the cluster
// boundaries just before that place as the break and the usable clusters
// after it as the continuation, lets the validator judge each guess, keeps
// the one that reads furthest and goes on from there, up to a few pieces.
// Only a reassembly that the validator proves whole, and no other guess
// of the same step also proves, is a result; everything else is at most a
// partial file.  Checks, reads and time are bounded per file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/ByteRun.h"
#include "engine/FormatValidator.h"

class Reader;

// Where clusters start on the medium.
struct ClusterGrid {
  uint64_t origin = 0;        // a medium position where a cluster starts
  uint64_t clusterBytes = 0;  // 0: no grid known
  bool valid() const { return clusterBytes != 0; }
  bool isBoundary(uint64_t position) const {
    return position >= origin ? (position - origin) % clusterBytes == 0 : (origin - position) % clusterBytes == 0;
  }
  // The first cluster boundary after `position`.
  uint64_t nextBoundary(uint64_t position) const;
};

struct SearchLimits {
  uint32_t maxPieces = 4;
  // The next piece starts at most this many usable clusters after a break.
  uint32_t maxGapClusters = 2048;
  // Breaks are tried at most this many clusters before the place where the
  // content failed (it shows some way after the break), and no further
  // back than the validator's detection reach.
  uint32_t maxBackClusters = 8;
  // Where a validator expects a structure that tells where the file goes on
  // (a movie's index after its data), at most this many places are tried.
  uint32_t maxAnchors = 4;
  uint64_t maxChecks = 20000;
  uint64_t maxReads = 200000;
  double maxSeconds = 5.0;
  // A guess that is not proven is taken only when it reads this far past
  // its break; less says nothing about it.
  uint64_t minProgress = 1024;
};

struct SearchResult {
  enum Outcome { kWhole, kPartial, kNothing };
  Outcome outcome = kNothing;
  ByteRuns runs;      // kWhole: the file; kPartial: its first piece, as far as it reads soundly
  uint64_t size = 0;  // bytes in `runs`
  uint32_t pieces = 0;
  // Why it ended without a whole file: "" (it did not), "unknown" (the
  // validator cannot judge the file), "pieces", "ambiguous" (two guesses
  // proven), "lost" (no guess read far enough), "budget".
  std::string stop;
  uint64_t checks = 0;
  uint64_t reads = 0;
  double seconds = 0;
};

class FragmentSearch {
 public:
  // Whether the cluster that starts at a medium position may hold a piece of
  // the file (it is free, or no other file is known to lie there).
  typedef std::function<bool(uint64_t position)> Usable;

  // None of the arguments is owned; all must outlive the search.
  FragmentSearch(Reader& medium, FormatValidator& validator, const ClusterGrid& grid, const SearchLimits& limits,
                 Usable usable);

  // The file starts at medium position `start` (a cluster boundary, or a
  // sector inside a cluster for a file found by its signature, whose first
  // cluster then begins before it).  `knownSize` is the file's size when a
  // directory entry says it (0: the validator finds the end), and
  // `maxSize` the most it may be.  Pieces after the first begin at cluster
  // boundaries; the first runs over consecutive usable clusters.
  SearchResult search(uint64_t start, uint64_t knownSize, uint64_t maxSize);

 private:
  struct Guess;
  uint64_t extentFrom(uint64_t position, uint64_t most) const;
  FormatProof judge(const ByteRuns& runs, uint64_t sameUntil, bool record);
  bool provenWhole(const FormatProof& proof, uint64_t knownSize) const;
  bool outOfBudget();
  // From a reading of the file and its validator's judgement: follows the
  // best guesses for the next piece, depth first.
  void explore(const ByteRuns& runs, const FormatProof& proof);
  void exploreBroken(const ByteRuns& runs, const FormatProof& proof);
  // File offset of the first jump between pieces that is not at a cluster
  // boundary on the medium, 0 when there is none.
  uint64_t misplacedJump(const ByteRuns& runs) const;
  // The places further on where the structure the validator expects lies.
  void followAnchors(const ByteRuns& runs, const FormatProof& proof);
  // A reading that ends at the anchor goes on with the anchored tail.
  void appendTail(ByteRuns& runs) const;
  void keepPartial(const ByteRuns& runs, uint64_t readable);
  // How far a judged reading holds, by what its validator looked at.
  uint64_t reachOf(const FormatProof& proof) const;
  // The length of a guess's new piece when it is read whole.
  uint64_t pieceLength(const Guess& guess, uint64_t pieceEnd) const;
  void addProven(const ByteRuns& runs);

  Reader& medium_;
  FormatValidator& validator_;
  ClusterGrid grid_;
  SearchLimits limits_;
  Usable usable_;
  SearchResult result_;
  double startTime_ = 0;
  uint64_t knownSize_ = 0, most_ = 0;
  std::vector<ByteRuns> proven_;
  ByteRuns recorded_;  // the reading the validator last kept states of
  ByteRuns partial_;
  uint64_t partialSize_ = 0;
  bool budget_ = false, unknown_ = false, tooManyPieces_ = false;
  // A tail found by its expected structure: file offset anchorAt_ lies at
  // medium position anchorMedium_; the pieces before it end there.
  bool anchored_ = false;
  uint64_t anchorAt_ = 0, anchorMedium_ = 0;
  uint64_t probeReads_ = 0;
};
