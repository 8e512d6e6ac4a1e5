// Proof that a QuickTime or MPEG-4 movie is whole: the top-level boxes run
// to the file's end, its index (the "moov" box) is read, and every sample it
// lists lies inside the media data; the video samples of the common codecs
// are looked at where they start (H.264 and H.265 NAL units whose lengths
// add up to the sample, MPEG-4 Part 2 start codes, JPEG markers), so a
// stretch of foreign data shows at the first sample whose start it covers.
// A movie whose index is missing where its data ends says that it expects
// the index there, so a search can look for it further on.
#pragma once

#include <cstdint>

#include "engine/FormatValidator.h"

class MovValidator : public FormatValidator {
 public:
  FormatProof check(Reader& file, uint64_t sameUntil, bool record) override;
  uint64_t readsMade() const override { return reads_; }
  bool judgesUpToFailure() const override { return false; }
  // Only the starts of video samples are looked at: a break shows at the
  // next one, which may be a large picture further on.
  uint64_t detectionReach() const override { return 1024 * 1024; }

  static constexpr uint32_t kMaxBoxes = 100000;        // in the walk and inside the index
  static constexpr uint64_t kMaxSamples = 4000000;     // over all tracks
  static constexpr uint32_t kMaxNalUnits = 1000;       // in one sample
  static constexpr uint32_t kMaxTracks = 64;

 private:
  uint64_t reads_ = 0;
};
