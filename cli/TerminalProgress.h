// The progress line of mzk-recover on standard error, shown only while
// standard error is a terminal, and the stop point of the work: check()
// throws InterruptedException when a stop request (StopSignals) has come
// in since the current phase began.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "shell/InterfaceCallback.h"

class TerminalProgress : public InterfaceCallback {
 public:
  explicit TerminalProgress(bool visible);
  ~TerminalProgress() override;

  // Starts a phase ("scan" counts files found, "recover" counts files
  // done); stop requests from before are not held against it.
  // check() throws once more stop signals have come than `stopsSeen`
  // (by default the count at the start of the phase).
  void beginPhase(const std::string& name, uint64_t total, int stopsSeen = -1);
  void setFilesFound(uint64_t files) { files_ = files; }
  void setFilesDone(uint64_t done, uint64_t of) { done_ = done; of_ = of; }
  // Clears the line (before other messages go to stderr).
  void clear();

  void check() override;
  void setValue(int op, int channel, uint64_t value) override;

 private:
  void draw(bool force);
  bool visible_;
  bool shown_ = false;
  std::string phase_;
  uint64_t total_ = 0;
  uint64_t position_ = 0;
  uint64_t files_ = 0;
  uint64_t done_ = 0, of_ = 0;
  int stopsAtStart_ = 0;
  std::chrono::steady_clock::time_point start_, lastDraw_;
};

// "1:05:09", "4:09" or "0:03".
std::string formatClock(uint64_t seconds);
