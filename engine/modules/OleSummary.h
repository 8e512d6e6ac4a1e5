// The summary information property set of an OLE compound file (the
// "\005SummaryInformation" stream): title, last-save time and application
// name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct OleSummary {
  std::string title;        // UTF-8; empty when absent
  std::string application;  // UTF-8; empty when absent
  bool hasTime = false;
  int32_t time = 0;         // last save, seconds since 1970 (UTC), cut to 32 bits
};

// Decodes the summary section of a property-set stream of `size` bytes.
// Fields that are absent, of an unexpected type or outside the stream stay
// empty; false when the stream holds no summary section at all.  8-bit
// texts are converted from the section's code page; without one (or for
// UTF-8) they are taken as UTF-8 when they are, else as Windows-1252.
bool decodeOleSummary(const uint8_t* stream, size_t size, OleSummary& summary);

// Seconds between 1601-01-01 (the FILETIME epoch) and 1970-01-01.
constexpr uint64_t kFiletimeTo1970 = 11644473600ull;
