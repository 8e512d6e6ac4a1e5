// The "Save Debug" dump encoding.

#include "ui/DebugDump.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

#include "shell/DebugLog.h"

namespace {

void putLe32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

}  // namespace

bool encodeDebugDump(const std::string& text, std::string& dump) {
  dump.clear();
  const uint64_t n = text.size();
  if (n > UINT32_MAX) {
    dlog() << "DebugDump(30): " << n << "\n";
    return false;
  }
  // The stream does not depend on the room offered, so take zlib's own
  // bound when it exceeds n + n / 1000 + 12: a margin that costs nothing.
  uLong room = static_cast<uLong>(n + n / 1000 + 12);
  const uLong bound = compressBound(static_cast<uLong>(n));
  if (bound > room) room = bound;
  std::vector<uint8_t> out(8 + static_cast<size_t>(room));
  putLe32(out.data(), static_cast<uint32_t>(n));
  putLe32(out.data() + 4, static_cast<uint32_t>(n));
  uLongf packed = room;
  const int rc = compress2(out.data() + 8, &packed, reinterpret_cast<const Bytef*>(text.data()),
                           static_cast<uLong>(n), 9);
  if (rc != Z_OK) {
    dlog() << "DebugDump(45): " << rc << "\n";
    return false;
  }
  const size_t m = 8 + static_cast<size_t>(packed);
  for (size_t i = 0; i + 1 < m; ++i) out[i] ^= out[i + 1];
  dump.assign(reinterpret_cast<const char*>(out.data()), m);
  return true;
}
