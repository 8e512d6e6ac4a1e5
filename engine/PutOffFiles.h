// The files a volume's directories name that the sector walk has not
// reached yet, kept until it does (see Volume::walkReaches), so that a
// file's bytes are read from the medium once, with the walk's.
//
// `Entry` is the volume's own record of a directory entry.  At most kMax
// entries wait; beyond that a file is looked at at once, as outside a walk,
// so memory stays bounded whatever the directories hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>

template <typename Entry>
class PutOffFiles {
 public:
  static constexpr size_t kMax = 8192;

  // Keeps `entry`, whose file starts at medium position `at` (negative: it
  // has no cluster), when the walk has not reached it; false when the file
  // is to be looked at now.
  bool keep(int64_t at, const Entry& entry) {
    if (at < 0 || static_cast<uint64_t>(at) < reach_ || entries_.size() >= kMax) return false;
    entries_.emplace(static_cast<uint64_t>(at), entry);
    return true;
  }

  // The walk is about to test the medium below `position`: `look` is called
  // for every kept entry whose file starts there, in medium order.
  template <typename Look>
  void reach(uint64_t position, Look look) {
    reach_ = position;
    while (!entries_.empty() && entries_.begin()->first < position) {
      Entry entry = std::move(entries_.begin()->second);
      entries_.erase(entries_.begin());
      look(entry);
    }
  }

  bool holds() const { return !entries_.empty(); }

 private:
  uint64_t reach_ = UINT64_MAX;  // no walk: nothing is kept
  std::multimap<uint64_t, Entry> entries_;  // by where the file starts
};
