#include "recover/FileDigests.h"

#include <openssl/evp.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
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

typedef std::vector<uint8_t> Chunk;

// One digest: in the caller's thread at first, on a thread of its own once
// the file proves larger than a chunk.
class Digest {
 public:
  explicit Digest(const EVP_MD* md) : ctx_(EVP_MD_CTX_new()) {
    ok_ = ctx_ && EVP_DigestInit_ex(ctx_, md, nullptr) == 1;
  }
  ~Digest() {
    stop();
    EVP_MD_CTX_free(ctx_);
  }

  void update(const void* data, size_t length) {
    if (ok_ && length) ok_ = EVP_DigestUpdate(ctx_, data, length) == 1;
  }
  void start() {
    thread_ = std::thread([this] { work(); });
  }
  // Waits while kChunksInFlight chunks are queued.
  void push(std::shared_ptr<const Chunk> chunk) {
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [this] { return queue_.size() < FileDigests::kChunksInFlight; });
    queue_.push_back(std::move(chunk));
    ready_.notify_one();
  }
  // Ends the thread, if any, after the chunks queued.
  void stop() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ended_ = true;
      ready_.notify_one();
    }
    thread_.join();
  }
  std::string hex() {
    stop();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (!ok_ || EVP_DigestFinal_ex(ctx_, digest, &length) != 1) return std::string();
    ok_ = false;
    return hexOf(digest, length);
  }

 private:
  void work() {
    for (;;) {
      std::shared_ptr<const Chunk> chunk;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return ended_ || !queue_.empty(); });
        if (queue_.empty()) return;
        chunk = std::move(queue_.front());
        queue_.pop_front();
        room_.notify_one();
      }
      update(chunk->data(), chunk->size());
    }
  }

  EVP_MD_CTX* ctx_;
  bool ok_ = false;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ready_, room_;
  std::deque<std::shared_ptr<const Chunk>> queue_;
  bool ended_ = false;
};

}  // namespace

struct FileDigests::Impl {
  Digest md5{EVP_md5()};
  Digest sha256{EVP_sha256()};
  uint64_t total = 0;
  bool threaded = false;
  bool finished = false;
  std::shared_ptr<Chunk> chunk;  // being filled, once threaded

  void pushChunk() {
    if (!chunk || chunk->empty()) return;
    std::shared_ptr<const Chunk> full = std::move(chunk);
    md5.push(full);
    sha256.push(full);
    chunk.reset();
  }
};

FileDigests::FileDigests() : impl_(new Impl) {}

FileDigests::~FileDigests() { delete impl_; }

void FileDigests::update(const void* data, size_t length) {
  Impl& d = *impl_;
  if (d.finished) return;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (!d.threaded) {
    // The first chunk's worth is hashed right here: a small file costs no
    // thread and no copy.
    size_t here = static_cast<size_t>(std::min<uint64_t>(length, kChunkBytes - std::min<uint64_t>(d.total, kChunkBytes)));
    d.md5.update(p, here);
    d.sha256.update(p, here);
    d.total += here;
    p += here;
    length -= here;
    if (length == 0) return;
    d.md5.start();
    d.sha256.start();
    d.threaded = true;
  }
  while (length) {
    if (!d.chunk) {
      d.chunk = std::make_shared<Chunk>();
      d.chunk->reserve(kChunkBytes);
    }
    size_t n = std::min(length, kChunkBytes - d.chunk->size());
    d.chunk->insert(d.chunk->end(), p, p + n);
    p += n;
    length -= n;
    d.total += n;
    if (d.chunk->size() == kChunkBytes) d.pushChunk();
  }
}

void FileDigests::finish(std::string& md5, std::string& sha256) {
  impl_->finished = true;
  impl_->pushChunk();
  md5 = impl_->md5.hex();
  sha256 = impl_->sha256.hex();
  if (md5.empty() || sha256.empty()) {
    md5.clear();
    sha256.clear();
  }
}
