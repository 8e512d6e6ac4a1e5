// Proof that a ZIP archive (or an office document stored as one) is whole:
// the local headers follow each other to the central directory, the
// central directory names each of them where it lies (name, method, sizes),
// the end record points at the central directory and counts its entries,
// and every entry's data, stored or deflated, gives the length and CRC-32
// the directory records.  A stretch of foreign data shows as an entry whose
// data does not inflate or check out, or as a header that is not where the
// one before says.
#pragma once

#include <cstdint>

#include "engine/FormatValidator.h"

class ZipValidator : public FormatValidator {
 public:
  FormatProof check(Reader& file, uint64_t sameUntil, bool record) override;
  uint64_t readsMade() const override { return reads_; }
  bool judgesUpToFailure() const override { return false; }
  // An entry's data is judged as a whole: the break may lie anywhere in it.
  uint64_t detectionReach() const override { return 4 * 1024 * 1024; }

  // Entries taken at most; more make the archive one this validator does
  // not judge.
  static constexpr uint32_t kMaxEntries = 65536;
  // Inflated at most over all entries; a larger archive is not judged.
  static constexpr uint64_t kMaxInflated = 1024ull * 1024 * 1024;
  // Data written with a data descriptor ends where the next header starts;
  // that header is looked for this far at most.
  static constexpr uint64_t kDescriptorSearch = 0xA00000;

 private:
  uint64_t reads_ = 0;
};
