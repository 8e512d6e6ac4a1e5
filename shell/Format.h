// Placeholder formatting and display forms of numbers, sizes and durations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class FormatArg {
 public:
  FormatArg() {}
  FormatArg(const char* text) : text_(text ? text : "") {}
  FormatArg(const std::string& text) : text_(text) {}
  FormatArg(int32_t value);
  FormatArg(uint32_t value);
  FormatArg(int64_t value);
  FormatArg(uint64_t value);
  const std::string& text() const { return text_; }
  static const FormatArg& empty();

 private:
  std::string text_;
};

// "%1".."%5" are replaced by the arguments, "%%" by "%"; anything else after
// a "%" is copied as written.  Arguments are never re-scanned.
std::string format(const char* fmt, const FormatArg& a1 = FormatArg::empty(),
                   const FormatArg& a2 = FormatArg::empty(), const FormatArg& a3 = FormatArg::empty(),
                   const FormatArg& a4 = FormatArg::empty(), const FormatArg& a5 = FormatArg::empty());

std::string formatNumber(uint64_t value);
std::string formatSize(uint64_t bytes);
std::string formatSizeOf(uint64_t done, uint64_t total);
std::string formatDuration(uint32_t seconds);
void split(const std::string& text, char separator, std::vector<std::string>& pieces);
