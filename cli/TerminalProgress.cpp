// The progress line on a terminal.

#include "cli/TerminalProgress.h"

#include <unistd.h>

#include <cstdio>

#include "cli/StopSignals.h"

std::string formatClock(uint64_t seconds) {
  char buffer[32];
  if (seconds >= 3600)
    snprintf(buffer, sizeof buffer, "%llu:%02u:%02u", static_cast<unsigned long long>(seconds / 3600),
             static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
  else
    snprintf(buffer, sizeof buffer, "%u:%02u", static_cast<unsigned>(seconds / 60), static_cast<unsigned>(seconds % 60));
  return buffer;
}

TerminalProgress::TerminalProgress(bool visible) : visible_(visible) {
  start_ = lastDraw_ = std::chrono::steady_clock::now();
}

TerminalProgress::~TerminalProgress() { clear(); }

void TerminalProgress::beginPhase(const std::string& name, uint64_t total, int stopsSeen) {
  clear();
  phase_ = name;
  total_ = total;
  position_ = 0;
  stopsAtStart_ = stopsSeen >= 0 ? stopsSeen : StopSignals::count();
  start_ = std::chrono::steady_clock::now();
  lastDraw_ = start_ - std::chrono::seconds(1);
}

void TerminalProgress::clear() {
  if (!shown_) return;
  fputs("\r\033[K", stderr);
  fflush(stderr);
  shown_ = false;
}

void TerminalProgress::check() {
  if (StopSignals::count() > stopsAtStart_) throw InterruptedException();
  draw(false);
}

void TerminalProgress::setValue(int op, int channel, uint64_t value) {
  if (channel != 0) return;
  if (op == 0) position_ = value;
  else if (op == 1) position_ += value;
}

void TerminalProgress::draw(bool force) {
  if (!visible_) return;
  auto now = std::chrono::steady_clock::now();
  if (!force && now - lastDraw_ < std::chrono::milliseconds(200)) return;
  lastDraw_ = now;
  double seconds = std::chrono::duration<double>(now - start_).count();
  uint64_t position = position_ < total_ ? position_ : total_;
  unsigned percent = total_ ? static_cast<unsigned>(position * 100 / total_) : 0;
  double rate = seconds > 0.05 ? position / seconds : 0;
  char line[200];
  std::string left = "--:--";
  if (rate > 0 && total_ > position) {
    double remaining = (total_ - position) / rate;
    // A wild estimate early on is shown as unknown rather than overflowing.
    if (remaining < 360000) left = formatClock(static_cast<uint64_t>(remaining));
  }
  if (phase_ == "recover")
    snprintf(line, sizeof line, "\r%3u%%  %7.1f MB/s  %s left  recovering %llu of %llu\033[K", percent, rate / 1e6,
             left.c_str(), static_cast<unsigned long long>(done_), static_cast<unsigned long long>(of_));
  else
    snprintf(line, sizeof line, "\r%3u%%  %7.1f MB/s  %s left  %llu files found\033[K", percent, rate / 1e6,
             left.c_str(), static_cast<unsigned long long>(files_));
  fputs(line, stderr);
  fflush(stderr);
  shown_ = true;
}
