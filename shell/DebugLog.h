// The process-wide debug log.
//
// Every layer writes location-tagged lines to it: "Config(193): path\n" for a
// line with details, "Config(197)\n" for a level a failure passed through.
// The target is chosen once, before the banner, by openDebugLog().
#pragma once

#include <ostream>
#include <string>

// Where log lines go; never null after openDebugLog() (and before it, a
// discarding stream, so that tests and libraries can log without setup).
extern std::ostream* debugLog;
// "null", "stderr", "ostringstream" or "ofstream".
extern const char* debugLogKind;

// target: "null", "stderr", "ostringstream", or a file name; nullptr counts
// as "ostringstream".  A file that cannot be opened falls back to "stderr".
void openDebugLog(const char* target);

// The text collected so far when the log is kept in memory; empty otherwise.
std::string debugLogText();

// The discarding stream (also what dlog() gives while debugLog is still
// unset during static initialisation).
std::ostream& debugLogNull();

// The stream to write a log line to.
inline std::ostream& dlog() { return debugLog ? *debugLog : debugLogNull(); }

// A location tag: the source's base name and a line number, written as
// "Name(line)".  Each source declares the tags it writes in one place, so
// that the log keeps its tags when code moves.
struct LogTag {
  const char* name;
  int line;
};
std::ostream& operator<<(std::ostream& out, const LogTag& tag);

// Test support: collect the log in a fresh in-memory buffer until the guard
// goes away, then restore the previous target.
class DebugLogCapture {
 public:
  DebugLogCapture();
  ~DebugLogCapture();
  std::string text() const;
  void clear();

 private:
  std::ostream* previous_;
  const char* previousKind_;
  struct Impl;
  Impl* impl_;
};
