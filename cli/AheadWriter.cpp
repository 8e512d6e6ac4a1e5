// Writing found files while the scan is still running.

#include "cli/AheadWriter.h"

#include <algorithm>

#include "recover/FileRecoverer.h"

AheadWriter::AheadWriter(FileCase& fileCase, FileRecoverer& recoverer, InterfaceCallback* checker, Wanted wanted,
                         FileCase::Callback* next)
    : fileCase_(fileCase), recoverer_(recoverer), checker_(checker), wanted_(std::move(wanted)), next_(next) {}

void AheadWriter::added(const std::string& key, const FileModule::File& file) {
  if (next_) next_->added(key, file);
  if (file.size == 0 || !wanted_(file)) return;
  // Called from inside the scan: a volume may be walking its directories
  // now, so its files are placed later.
  if (file.attributes.getInt32("fs", -1) >= 0)
    unplaced_.push_back(key);
  else if (file.size <= UINT64_MAX - file.offset)
    wait(file.offset, file.offset + file.size, key);
}

void AheadWriter::wait(uint64_t start, uint64_t end, const std::string& key) {
  waiting_.push(Waiting{start, end, key});
  starts_.insert(start);
}

uint64_t AheadWriter::reach() const {
  if (starts_.empty() || *starts_.begin() >= position_) return 0;
  return position_ - *starts_.begin();
}

void AheadWriter::passed(uint64_t position) {
  position_ = position;
  for (const std::string& key : unplaced_) {
    const FileModule::File* file = fileCase_.findFile(key);
    if (!file) continue;
    ByteRuns runs = fileCase_.byteRunsFor(*file);
    if (runs.empty()) continue;  // unreadable: the recovery after the scan tells why
    uint64_t start = UINT64_MAX, end = 0;
    for (const ByteRun& run : runs) {
      start = std::min(start, run.imageOffset);
      end = std::max(end, run.imageOffset + run.length);
    }
    wait(start, end, key);
  }
  unplaced_.clear();
  while (!waiting_.empty() && waiting_.top().end <= position) {
    Waiting next = waiting_.top();
    waiting_.pop();
    starts_.erase(starts_.find(next.start));
    if (const FileModule::File* file = fileCase_.findFile(next.key)) recoverer_.writeAhead(*file, checker_);
  }
}
