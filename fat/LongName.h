// Long names in front of a short directory entry.
//
// The entries are fed backwards from the one just before the short entry.
// A live long name must run 1, 2, ... up to the entry marked last, each
// with the short name's checksum.  A deleted one has lost its sequence
// numbers (0xE5 in their place): the entries that agree on one checksum
// are taken in order, as far as they go.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class LongNameStep { kMore, kFound, kNone };

class LongNameAssembler {
 public:
  LongNameAssembler(const uint8_t* shortEntry, bool deleted);
  // The entry in front of the last one fed: kMore to go on, kFound when the
  // name is complete (name()), kNone when there is no long name.
  LongNameStep feed(const uint8_t* entry);
  // The walk ended before the name did (start of the directory, limit).
  LongNameStep finish();
  const std::string& name() const { return name_; }

 private:
  LongNameStep complete();

  bool deleted_;
  uint8_t checksum_ = 0;
  int expected_ = 1;
  int accepted_ = 0;
  std::vector<uint16_t> units_;
  std::string name_;
};

// A long name has at most 20 entries (255 characters); the sequence field
// cannot count past 63, so no walk goes further back than that.
const int kMaxLongNameEntries = 63;
