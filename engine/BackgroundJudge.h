// Proofs of carved files made on a thread of their own while the sector
// walk goes on.
//
// The walk hands over a file with the medium's blocks that hold it (blocks
// the cache already held: nothing is read again); the thread proves the
// file with its type's validator over those blocks and keeps the verdict.
// Blocks are immutable, and every reference to them is taken and dropped on
// the walk's thread (a job's blocks go when the walk collects the job), so
// the cache is never touched from the other thread.  The blocks of the
// jobs not yet collected are bounded: while the thread is behind, offer()
// refuses jobs and the walk proves the file itself, so both keep busy.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/FormatValidator.h"
#include "media/BlockCache.h"

class BackgroundJudge {
 public:
  struct Job {
    uint64_t id = 0;
    std::string type;
    uint64_t offset = 0;  // of the file on the medium
    uint64_t size = 0;
    // Contiguous, in order, covering [offset, offset + size).
    std::vector<BlockCache::BlockRef> blocks;
  };
  struct Verdict {
    uint64_t id = 0;
    FormatProof proof;
  };

  explicit BackgroundJudge(uint64_t maxHeldBytes);
  // Drops the jobs not begun and waits for the one under way.
  ~BackgroundJudge();
  BackgroundJudge(const BackgroundJudge&) = delete;
  BackgroundJudge& operator=(const BackgroundJudge&) = delete;

  // Queues a job (its blocks must cover it) unless the jobs not yet
  // collected would then hold more than the bound (false, the job left as
  // it was).  The verdicts of the jobs done so far are added to `done`.
  bool offer(Job& job, std::vector<Verdict>& done);
  // Waits for every job queued, then collects.
  void finish(std::vector<Verdict>& done);
  // The thread's time spent proving, in seconds.
  double seconds();

 private:
  void work();
  void collectLocked(std::vector<Verdict>& done, std::vector<Job>& finished);

  const uint64_t maxHeldBytes_;
  std::mutex mutex_;
  std::condition_variable ready_, idle_;
  std::deque<Job> queue_;
  std::vector<Job> finished_;  // proven, blocks still held
  std::vector<Verdict> verdicts_;
  uint64_t heldBytes_ = 0;   // blocks of the jobs queued, under way or finished
  bool busy_ = false;        // a job is under way
  bool stopping_ = false;
  double seconds_ = 0;
  std::thread thread_;
};
