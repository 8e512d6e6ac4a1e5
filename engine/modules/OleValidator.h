// Proof that an OLE compound file (Word, Excel, PowerPoint, installer
// files) is whole as far as its directories can show it: the allocation
// table describes its own sectors, the directory chain holds well-formed
// entries whose links stay inside it, every stream's chain has exactly the
// sectors its size needs and ends there, no sector belongs to two chains,
// and every sector the table calls used belongs to one.  What lies inside
// a stream is not looked at: a stretch of foreign data there passes, so a
// search over places for the rest of such a file is left ambiguous rather
// than proven (FragmentSearch proves only a reading no other one matches).
#pragma once

#include <cstdint>

#include "engine/FormatValidator.h"

class OleValidator : public FormatValidator {
 public:
  FormatProof check(Reader& file, uint64_t sameUntil, bool record) override;
  uint64_t readsMade() const override { return reads_; }
  bool judgesUpToFailure() const override { return false; }
  // Its tables may lie anywhere in the file.
  uint64_t detectionReach() const override { return 4 * 1024 * 1024; }

  // Sectors judged at most (a larger file is not judged).
  static constexpr uint32_t kMaxSectors = 1u << 20;
  static constexpr uint32_t kMaxDirectorySectors = 4096;

 private:
  uint64_t reads_ = 0;
};
