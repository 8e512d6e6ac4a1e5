// The shared body of the format-validator fuzz targets: the validator over
// the input (after a fixed prefix that gets it past the signature), over a
// cut copy resumed from what it kept of the whole, and the fragment search
// with that validator over the input as a medium of 512-byte clusters.  A
// proof that ends past its reader, or a search result outside the medium,
// traps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/FormatValidator.h"
#include "engine/FragmentSearch.h"
#include "tests/support/MemoryReader.h"

namespace fuzzvalidator {

inline void proofWithin(const FormatProof& proof, uint64_t size) {
  if (proof.verdict == FormatProof::kProven && (proof.end == 0 || proof.end > size)) __builtin_trap();
}

inline int run(const char* type, const std::string& prefix, const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(prefix.begin(), prefix.end());
  bytes.insert(bytes.end(), data, data + size);
  std::unique_ptr<FormatValidator> validator = validatorFor(type);
  if (!validator) __builtin_trap();
  MemoryReader whole(bytes);
  proofWithin(validator->check(whole, 0, true), bytes.size());
  // The cut copy holds the same bytes as far as it goes.
  const uint64_t cut = bytes.size() - size / 3;
  MemoryReader shorter(bytes.data(), cut);
  proofWithin(validator->check(shorter, cut / 2, false), cut);

  MemoryReader medium(bytes);
  std::unique_ptr<FormatValidator> searching = validatorFor(type);
  ClusterGrid grid;
  grid.clusterBytes = 512;
  SearchLimits limits;
  limits.maxChecks = 300;
  limits.maxSeconds = 1;
  FragmentSearch search(medium, *searching, grid, limits, [](uint64_t) { return true; });
  SearchResult result = search.search(0, size % 2 ? 0 : bytes.size() / 2, bytes.size());
  uint64_t expected = 0;
  for (const ByteRun& run : result.runs) {
    if (run.fileOffset != expected || !Reader::fits(run.imageOffset, run.length, bytes.size())) __builtin_trap();
    expected += run.length;
  }
  if (expected != result.size) __builtin_trap();
  return 0;
}

}  // namespace fuzzvalidator
