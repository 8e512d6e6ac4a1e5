#include "shell/BoundedLogBuffer.h"

#include <algorithm>

BoundedLogBuffer::BoundedLogBuffer(size_t headBytes, size_t tailBytes)
    : headLimit_(headBytes), tailLimit_(tailBytes) {}

BoundedLogBuffer::int_type BoundedLogBuffer::overflow(int_type c) {
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    char ch = traits_type::to_char_type(c);
    append(&ch, 1);
  }
  return traits_type::not_eof(c);
}

std::streamsize BoundedLogBuffer::xsputn(const char* s, std::streamsize n) {
  if (n > 0) append(s, static_cast<size_t>(n));
  return n;
}

void BoundedLogBuffer::append(const char* s, size_t n) {
  size_t toHead = std::min(n, headLimit_ - head_.size());
  head_.append(s, toHead);
  s += toHead;
  n -= toHead;
  if (n == 0) return;
  if (tailLimit_ == 0) {
    dropped_ += n;
    return;
  }
  // Only the last tailLimit_ bytes of this piece can stay.
  if (n > tailLimit_) {
    dropped_ += n - tailLimit_;
    s += n - tailLimit_;
    n = tailLimit_;
  }
  while (n > 0) {
    if (tail_.size() < tailLimit_) {
      size_t k = std::min(n, tailLimit_ - tail_.size());
      tail_.append(s, k);
      s += k, n -= k;
      continue;
    }
    // Full: overwrite the oldest bytes.
    size_t k = std::min(n, tailLimit_ - tailStart_);
    tail_.replace(tailStart_, k, s, k);
    dropped_ += k;
    tailStart_ = (tailStart_ + k) % tailLimit_;
    s += k, n -= k;
  }
}

std::string BoundedLogBuffer::text() const {
  std::string tail = tail_.substr(tailStart_) + tail_.substr(0, tailStart_);
  if (dropped_ == 0) return head_ + tail;
  // The tail's first line was cut at its front: it starts after it.
  size_t line = tail.find('\n');
  uint64_t cut = line == std::string::npos ? tail.size() : line + 1;
  std::string out = head_;
  if (!out.empty() && out.back() != '\n') out += '\n';
  out += "DebugLog: " + std::to_string(dropped_ + cut) + " bytes of the log left out\n";
  return out + tail.substr(cut);
}
