#include "recover/FileDigests.h"

#include <openssl/evp.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

std::string hexOf(const unsigned char* bytes, unsigned length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < length; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

// Bytes of one file, read by both threads; back to the free ones when the
// second is done with it.
struct Chunk {
  std::vector<uint8_t> bytes;
  int readers = 0;
};

}  // namespace

struct FileDigests::Pending::State {
  std::mutex mutex;
  std::condition_variable done;
  std::string hex[2];  // MD5, SHA-256
  int finished = 0;

  void set(int which, std::string digest) {
    std::lock_guard<std::mutex> lock(mutex);
    hex[which] = std::move(digest);
    if (++finished == 2) done.notify_all();
  }
};

void FileDigests::Pending::wait(std::string& md5, std::string& sha256) const {
  md5.clear();
  sha256.clear();
  if (!state_) return;
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->done.wait(lock, [this] { return state_->finished == 2; });
  if (state_->hex[0].empty() || state_->hex[1].empty()) return;
  md5 = state_->hex[0];
  sha256 = state_->hex[1];
}

struct FileDigests::Impl {
  // A chunk to hash, or (no chunk) the end of a file.
  struct Item {
    Chunk* chunk = nullptr;
    std::shared_ptr<Pending::State> end;
  };

  explicit Impl(size_t chunksInFlight) : limit(std::max<size_t>(chunksInFlight, 1)) {
    free.reserve(limit);
    threads[0] = std::thread([this] { work(0, EVP_md5()); });
    try {
      threads[1] = std::thread([this] { work(1, EVP_sha256()); });
    } catch (...) {
      stop();
      throw;
    }
  }

  // The writer's side.
  Chunk* take() {
    std::unique_lock<std::mutex> lock(mutex);
    if (free.empty() && made.size() < limit) {
      made.push_back(std::make_unique<Chunk>());
      made.back()->bytes.reserve(kChunkBytes);
      return made.back().get();
    }
    room.wait(lock, [this] { return !free.empty(); });
    Chunk* chunk = free.back();
    free.pop_back();
    return chunk;
  }
  void queueBoth(Chunk* chunk, const std::shared_ptr<Pending::State>& end) {
    std::lock_guard<std::mutex> lock(mutex);
    if (chunk) chunk->readers = 2;
    for (std::deque<Item>& q : queues) q.push_back(Item{chunk, end});
    ready.notify_all();
  }
  Pending finish() {
    if (filling) queueBoth(filling, nullptr);
    filling = nullptr;
    open = false;
    auto state = std::make_shared<Pending::State>();
    queueBoth(nullptr, state);
    return Pending(state);
  }
  // After what is queued.
  void stop() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
      ready.notify_all();
    }
    for (std::thread& thread : threads)
      if (thread.joinable()) thread.join();
  }

  // One digest's thread.
  void work(int which, const EVP_MD* md) {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    bool begun = false, ok = false;
    for (;;) {
      Item item;
      {
        std::unique_lock<std::mutex> lock(mutex);
        ready.wait(lock, [this, which] { return stopping || !queues[which].empty(); });
        if (queues[which].empty()) break;
        item = std::move(queues[which].front());
        queues[which].pop_front();
      }
      if (!begun) {
        ok = ctx && EVP_DigestInit_ex(ctx, md, nullptr) == 1;
        begun = true;
      }
      if (item.chunk) {
        if (ok) ok = EVP_DigestUpdate(ctx, item.chunk->bytes.data(), item.chunk->bytes.size()) == 1;
        std::lock_guard<std::mutex> lock(mutex);
        if (--item.chunk->readers == 0) {
          item.chunk->bytes.clear();
          free.push_back(item.chunk);
          room.notify_one();
        }
        continue;
      }
      unsigned char digest[EVP_MAX_MD_SIZE];
      unsigned length = 0;
      std::string hex;
      if (ok && EVP_DigestFinal_ex(ctx, digest, &length) == 1) hex = hexOf(digest, length);
      begun = false;
      item.end->set(which, std::move(hex));
    }
    EVP_MD_CTX_free(ctx);
  }

  const size_t limit;
  std::mutex mutex;
  std::condition_variable ready, room;
  std::deque<Item> queues[2];                // MD5's, SHA-256's
  std::vector<std::unique_ptr<Chunk>> made;  // at most `limit`
  std::vector<Chunk*> free;
  bool stopping = false;
  std::thread threads[2];
  // The writer's alone.
  Chunk* filling = nullptr;
  bool open = false;
};

FileDigests::FileDigests(size_t chunksInFlight) : impl_(new Impl(chunksInFlight)) {}

FileDigests::~FileDigests() {
  if (impl_->open) impl_->finish();
  impl_->stop();
}

void FileDigests::update(const void* data, size_t length) {
  Impl& d = *impl_;
  d.open = true;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  while (length) {
    if (!d.filling) d.filling = d.take();
    std::vector<uint8_t>& bytes = d.filling->bytes;
    size_t n = std::min(length, kChunkBytes - bytes.size());
    bytes.insert(bytes.end(), p, p + n);
    p += n;
    length -= n;
    if (bytes.size() == kChunkBytes) {
      d.queueBoth(d.filling, nullptr);
      d.filling = nullptr;
    }
  }
}

FileDigests::Pending FileDigests::finish() { return impl_->finish(); }
