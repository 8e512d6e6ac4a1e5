// The process-wide debug log and its targets.

#include "shell/DebugLog.h"

#include "shell/BoundedLogBuffer.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <streambuf>

namespace {

// A stream buffer without a buffer area that drops every character and never
// reports a failure, so writes to the discarding stream leave it good.
class StreambufNull : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Each target is created on first use and lives until process exit.
std::ostream& nullStream() {
  static StreambufNull buffer;
  static std::ostream stream(&buffer);
  return stream;
}

// The in-memory log keeps its first and its latest 16 MiB: a damaged or
// hostile medium can make the program log without end.
const size_t kMemoryHead = 16u << 20;
const size_t kMemoryTail = 16u << 20;

BoundedLogBuffer& memoryBuffer() {
  static BoundedLogBuffer buffer(kMemoryHead, kMemoryTail);
  return buffer;
}

std::ostream& memoryStream() {
  static std::ostream stream(&memoryBuffer());
  return stream;
}

std::ofstream& fileStream() {
  static std::ofstream stream;
  return stream;
}

}  // namespace

std::ostream& debugLogNull() { return nullStream(); }

std::ostream* debugLog = &nullStream();
const char* debugLogKind = "null";

void openDebugLog(const char* target) {
  std::string name = target ? target : "ostringstream";
  if (name == "null") {
    debugLog = &nullStream();
    debugLogKind = "null";
  } else if (name == "stderr") {
    debugLog = &std::cerr;
    debugLogKind = "stderr";
  } else if (name == "ostringstream") {
    debugLog = &memoryStream();
    debugLogKind = "ostringstream";
  } else {
    std::ofstream& file = fileStream();
    if (file.is_open()) file.close();
    file.clear();
    if (!name.empty()) file.open(name, std::ios::out | std::ios::trunc);
    if (file.is_open()) {
      debugLog = &file;
      debugLogKind = "ofstream";
    } else {
      debugLog = &std::cerr;
      debugLogKind = "stderr";
    }
  }
}

std::string debugLogText() {
  if (std::string(debugLogKind) != "ostringstream") return std::string();
  if (debugLog == &memoryStream()) return memoryBuffer().text();
  if (auto* memory = dynamic_cast<std::ostringstream*>(debugLog)) return memory->str();
  return std::string();
}

struct DebugLogCapture::Impl {
  std::ostringstream stream;
};

DebugLogCapture::DebugLogCapture()
    : previous_(debugLog), previousKind_(debugLogKind), impl_(new Impl) {
  debugLog = &impl_->stream;
  debugLogKind = "ostringstream";
}

DebugLogCapture::~DebugLogCapture() {
  debugLog = previous_;
  debugLogKind = previousKind_;
  delete impl_;
}

std::string DebugLogCapture::text() const { return impl_->stream.str(); }

void DebugLogCapture::clear() {
  impl_->stream.str(std::string());
  impl_->stream.clear();
}

std::ostream& operator<<(std::ostream& out, const LogTag& tag) {
  return out << tag.name << '(' << tag.line << ')';
}
