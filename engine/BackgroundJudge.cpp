// Proofs of carved files on a thread of their own.

#include "engine/BackgroundJudge.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

// A file held in the medium's blocks: byte 0 is the file's first byte.
class HeldFile : public Reader {
 public:
  explicit HeldFile(const BackgroundJudge::Job& job) : job_(job) { setSize(job.size); }

  bool read(uint64_t offset, void* buffer, uint64_t size) override {
    if (!Reader::fits(offset, size, job_.size)) return false;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    while (size) {
      const uint8_t* p = nullptr;
      uint64_t n = 0;
      if (!at(offset, size, p, n)) return false;
      memcpy(out, p, static_cast<size_t>(n));
      out += n;
      offset += n;
      size -= n;
    }
    return true;
  }
  bool borrow(uint64_t offset, uint64_t size, const uint8_t*& out, uint64_t& available,
              std::shared_ptr<const void>&) override {
    if (size == 0 || offset >= job_.size) return false;
    return at(offset, std::min(size, job_.size - offset), out, available);
  }

 private:
  // The bytes from `offset` on within one block, at most `size` of them.
  bool at(uint64_t offset, uint64_t size, const uint8_t*& out, uint64_t& available) {
    const uint64_t medium = job_.offset + offset;
    while (index_ > 0 && job_.blocks[index_]->start > medium) --index_;
    while (index_ < job_.blocks.size() && job_.blocks[index_]->start + job_.blocks[index_]->length <= medium) ++index_;
    if (index_ >= job_.blocks.size() || job_.blocks[index_]->start > medium) return false;
    const BlockCache::Block& b = *job_.blocks[index_];
    out = b.data + (medium - b.start);
    available = std::min<uint64_t>(size, b.start + b.length - medium);
    return true;
  }

  const BackgroundJudge::Job& job_;
  size_t index_ = 0;
};

uint64_t heldBy(const BackgroundJudge::Job& job) {
  uint64_t bytes = 0;
  for (const BlockCache::BlockRef& b : job.blocks) bytes += b->length;
  return bytes;
}

}  // namespace

BackgroundJudge::BackgroundJudge(uint64_t maxHeldBytes)
    : maxHeldBytes_(maxHeldBytes), thread_([this] { work(); }) {}

BackgroundJudge::~BackgroundJudge() {
  std::deque<Job> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    dropped.swap(queue_);
    ready_.notify_all();
  }
  thread_.join();
}

void BackgroundJudge::collectLocked(std::vector<Verdict>& done, std::vector<Job>& finished) {
  done.insert(done.end(), verdicts_.begin(), verdicts_.end());
  verdicts_.clear();
  finished.swap(finished_);
  for (const Job& job : finished) heldBytes_ -= heldBy(job);
}

bool BackgroundJudge::offer(Job& job, std::vector<Verdict>& done) {
  std::vector<Job> finished;  // their blocks go here, outside the lock
  const uint64_t bytes = heldBy(job);
  std::lock_guard<std::mutex> lock(mutex_);
  collectLocked(done, finished);
  if (heldBytes_ && heldBytes_ + bytes > maxHeldBytes_) return false;
  heldBytes_ += bytes;
  queue_.push_back(std::move(job));
  ready_.notify_one();
  return true;
}

void BackgroundJudge::finish(std::vector<Verdict>& done) {
  std::vector<Job> finished;
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
  collectLocked(done, finished);
}

double BackgroundJudge::seconds() {
  std::lock_guard<std::mutex> lock(mutex_);
  return seconds_;
}

void BackgroundJudge::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    Job job = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    const auto start = std::chrono::steady_clock::now();
    Verdict verdict;
    verdict.id = job.id;
    std::unique_ptr<FormatValidator> validator = validatorFor(job.type);
    if (validator) {
      HeldFile file(job);
      try {
        verdict.proof = validator->check(file, 0, false);
      } catch (std::exception&) {
        verdict.proof = FormatProof();  // cannot be judged: left as found
      }
    }
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    lock.lock();
    busy_ = false;
    seconds_ += took;
    verdicts_.push_back(verdict);
    finished_.push_back(std::move(job));
    if (queue_.empty()) idle_.notify_all();
  }
}
