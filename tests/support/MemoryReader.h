// Readers and question answerers for tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "media/MediumWriter.h"
#include "media/Reader.h"
#include "shell/Questions.h"

// A medium held in memory; also writable, so write passes can be tested.
class MemoryReader : public Reader, public MediumWriter {
 public:
  MemoryReader() {}
  explicit MemoryReader(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) { resized(); }
  explicit MemoryReader(uint64_t size) : bytes_(size, 0) { resized(); }
  MemoryReader(const void* data, size_t size)
      : bytes_(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size) {
    resized();
  }

  bool read(uint64_t offset, void* buffer, uint64_t size) override {
    if (!Reader::fits(offset, size, bytes_.size())) return false;
    if (size) memcpy(buffer, bytes_.data() + offset, size);
    ++reads;
    bytesRead += size;
    return true;
  }
  bool write(uint64_t offset, const void* buffer, uint64_t size) override {
    if (!Reader::fits(offset, size, bytes_.size())) return false;
    if (size) memcpy(bytes_.data() + offset, buffer, size);
    return true;
  }
  std::vector<uint8_t>& bytes() { return bytes_; }
  // Call after changing bytes() in size.
  void resized() {
    Reader::setSize(bytes_.size());
    MediumWriter::setSize(bytes_.size());
  }
  void put(uint64_t offset, const void* data, size_t size) {
    if (offset + size > bytes_.size()) {
      bytes_.resize(offset + size);
      resized();
    }
    memcpy(bytes_.data() + offset, data, size);
  }
  void put(uint64_t offset, const std::string& data) { put(offset, data.data(), data.size()); }

  uint64_t reads = 0;
  uint64_t bytesRead = 0;

 private:
  std::vector<uint8_t> bytes_;
};

// Wraps another reader and fails every read (or write) that touches one of
// the listed byte ranges, like a card with unreadable sectors.
class FaultReader : public Reader, public MediumWriter {
 public:
  explicit FaultReader(Reader* inner, MediumWriter* innerWriter = nullptr)
      : inner_(inner), innerWriter_(innerWriter) {
    Reader::setSize(inner->size());
    MediumWriter::setSize(inner->size());
  }
  void failRange(uint64_t offset, uint64_t length) { bad_.push_back({offset, length}); }
  // After this many successful reads every read fails (a card pulled out).
  void vanishAfter(uint64_t reads) { vanishAfter_ = reads; }

  bool read(uint64_t offset, void* buffer, uint64_t size) override {
    if (reads_ >= vanishAfter_ || touchesBad(offset, size)) {
      ++failedReads;
      return false;
    }
    ++reads_;
    return inner_->read(offset, buffer, size);
  }
  bool write(uint64_t offset, const void* buffer, uint64_t size) override {
    if (!innerWriter_ || touchesBad(offset, size)) {
      ++failedWrites;
      return false;
    }
    return innerWriter_->write(offset, buffer, size);
  }
  uint64_t failedReads = 0;
  uint64_t failedWrites = 0;

 private:
  bool touchesBad(uint64_t offset, uint64_t size) const {
    for (auto& r : bad_)
      if (offset < r.first + r.second && r.first < offset + (size ? size : 1)) return true;
    return false;
  }
  Reader* inner_;
  MediumWriter* innerWriter_;
  std::vector<std::pair<uint64_t, uint64_t>> bad_;
  uint64_t reads_ = 0;
  uint64_t vanishAfter_ = UINT64_MAX;
};

// Answers questions from a script and records what was asked.
class ScriptedQuestions : public Questions {
 public:
  // Each answer is a result-bit value: 0 Yes, 1 No, 0x10 Yes with the box ticked.
  explicit ScriptedQuestions(std::vector<int> answers = {}) : answers_(std::move(answers)) {}
  int ask(Kind kind, const std::string& text, bool defaultNo, const char* checkLabel) override {
    asked.push_back(text);
    kinds.push_back(kind);
    if (next_ < answers_.size()) return answers_[next_++];
    return fallback;
  }
  std::vector<std::string> asked;
  std::vector<Kind> kinds;
  int fallback = 0;

 private:
  std::vector<int> answers_;
  size_t next_ = 0;
};
