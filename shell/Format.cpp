// Placeholder formatting and the display forms of numbers, sizes and times.

#include "shell/Format.h"

#include <cstdio>

#include "shell/Intl.h"

FormatArg::FormatArg(int32_t value) : text_(std::to_string(value)) {}
FormatArg::FormatArg(uint32_t value) : text_(std::to_string(value)) {}
FormatArg::FormatArg(int64_t value) : text_(std::to_string(value)) {}
FormatArg::FormatArg(uint64_t value) : text_(std::to_string(value)) {}

const FormatArg& FormatArg::empty() {
  static const FormatArg instance;
  return instance;
}

std::string format(const char* fmt, const FormatArg& a1, const FormatArg& a2, const FormatArg& a3,
                   const FormatArg& a4, const FormatArg& a5) {
  std::string out;
  if (!fmt) return out;
  const FormatArg* args[] = {&a1, &a2, &a3, &a4, &a5};
  for (const char* p = fmt; *p;) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    char next = p[1];
    if (next >= '1' && next <= '5') {
      out += args[next - '1']->text();
      p += 2;
    } else if (next == '%') {
      out += '%';
      p += 2;
    } else {
      // A lone "%" stays; the character after it is copied as ordinary text.
      out += '%';
      p += 1;
    }
  }
  return out;
}

std::string formatNumber(uint64_t value) {
  // 20 digits at most for 64 bits, plus the terminator.
  char buffer[32];
  snprintf(buffer, sizeof buffer, "%llu", static_cast<unsigned long long>(value));
  return buffer;
}

namespace {

struct SizeUnit {
  const char* name;
  uint64_t divisor;
};

// Each threshold sits 50 units below the next power of 1000, so a value that
// would round to 1000.0 of one unit is shown as 1.000 of the next.
SizeUnit unitFor(uint64_t reference) {
  if (reference < 999950ULL) return {N_("KB"), 1000ULL};
  if (reference < 999950000ULL) return {N_("MB"), 1000000ULL};
  if (reference < 999950000000ULL) return {N_("GB"), 1000000000ULL};
  return {N_("TB"), 1000000000000ULL};
}

std::string scaled(uint64_t bytes, uint64_t divisor) {
  float q = static_cast<float>(static_cast<long double>(bytes)) /
            static_cast<float>(static_cast<long double>(divisor));
  const char* conversion = q < 10 ? "%.3f" : q < 100 ? "%.2f" : "%.1f";
  // The largest quotient is below 2^64 / 1000 (20 digits), far inside 64 bytes.
  char buffer[64];
  snprintf(buffer, sizeof buffer, conversion, static_cast<double>(q));
  return buffer;
}

}  // namespace

std::string formatSize(uint64_t bytes) {
  if (bytes < 1000) return formatNumber(bytes);
  SizeUnit unit = unitFor(bytes);
  return scaled(bytes, unit.divisor) + _(unit.name);
}

std::string formatSizeOf(uint64_t done, uint64_t total) {
  if (total < 1000) return format(_("%1 of %2"), formatNumber(done), formatNumber(total));
  SizeUnit unit = unitFor(total);
  return format(_("%1 of %2"), scaled(done, unit.divisor), scaled(total, unit.divisor)) +
         _(unit.name);
}

namespace {

std::string padded(uint32_t value, size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), ' ');
  return digits;
}

}  // namespace

std::string formatDuration(uint32_t seconds) {
  uint32_t h = seconds / 3600;
  uint32_t m = (seconds / 60) % 60;
  uint32_t s = seconds % 60;
  if (h > 0)
    return padded(h, 2) + " " + ngettext("hour", "hours", h) + padded(m, 3) + " " +
           ngettext("minute", "minutes", m);
  return padded(m, 2) + " " + ngettext("minute", "minutes", m) + padded(s, 3) + " " +
         ngettext("second", "seconds", s);
}

void split(const std::string& text, char separator, std::vector<std::string>& pieces) {
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    if (at == std::string::npos) {
      pieces.push_back(text.substr(start));
      return;
    }
    pieces.push_back(text.substr(start, at - start));
    start = at + 1;
  }
}
