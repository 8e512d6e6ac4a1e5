// A medium with simulated unreadable ranges, for testing how a damaged
// card is handled without having one (--simulate-bad OFFSET:LENGTH,...).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "media/Reader.h"

class SimulatedBadReader : public Reader {
 public:
  typedef std::vector<std::pair<uint64_t, uint64_t>> Ranges;
  // Takes ownership of `inner`.
  SimulatedBadReader(Reader* inner, Ranges bad);
  bool read(uint64_t offset, void* buffer, uint64_t size) override;

 private:
  std::unique_ptr<Reader> inner_;
  Ranges bad_;
};

// "OFFSET:LENGTH[,OFFSET:LENGTH...]" with byte counts as for --min-size.
bool parseRanges(const std::string& text, SimulatedBadReader::Ranges& ranges);
