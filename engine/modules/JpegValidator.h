// Proof that a JPEG is whole: its marker segments are decoded and the
// Huffman entropy-coded data of every scan is decoded block by block, so a
// stretch of foreign data (a cluster of another file) shows as a code that
// no table holds, a coefficient out of range, a run past the end of a block,
// a restart marker out of sequence, or a scan that does not end with its
// last block.  Baseline, extended and progressive Huffman coding are
// decoded; arithmetic, lossless and hierarchical coding are kUnknown.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/FormatValidator.h"

class JpegValidator : public FormatValidator {
 public:
  JpegValidator();
  ~JpegValidator() override;

  // Proven when the file decodes up to its end-of-image marker: every
  // component in a sequential scan, or, progressively, every coefficient of
  // every component in a first scan; `end` is just past the marker.
  // Resumes from the last state kept at or before `sameUntil`; with
  // `record`, keeps a state every few kilobytes of the entropy-coded data.
  FormatProof check(Reader& file, uint64_t sameUntil, bool record) override;
  uint64_t readsMade() const override { return reads_; }

  // The most blocks per component a progressive file may have (its
  // refinement scans need to know which coefficients are already set).
  static constexpr uint64_t kMaxProgressiveBlocks = uint64_t(1) << 22;
  // The most marker segments a file may have.
  static constexpr uint32_t kMaxSegments = 4096;
  // The most fill bytes (0xFF before a marker code) a file may have.
  static constexpr uint32_t kMaxFillBytes = 65536;

  struct State;

 private:
  std::vector<std::unique_ptr<State>> kept_;
  uint64_t reads_ = 0;
};
