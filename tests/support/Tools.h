// Running tools and handling files in tests: one copy for every suite.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mzktest {

// Runs `command` with /bin/sh, output discarded; true on exit status 0.
bool sh(const std::string& command);
// Its standard output.
std::string shOutput(const std::string& command);
bool haveTool(const std::string& name);
// A path quoted for the shell.
std::string quote(const std::string& path);

std::string readFile(const std::string& path);
// The names in a folder, sorted; empty when it cannot be read.
std::vector<std::string> namesIn(const std::string& folder);
std::vector<uint8_t> readBytes(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// Little- and big-endian fields appended to or stored in a byte string.
void putLe16(std::string& out, uint16_t v);
void putLe32(std::string& out, uint32_t v);
void putLe64(std::string& out, uint64_t v);
void putBe16(std::string& out, uint16_t v);
void putBe32(std::string& out, uint32_t v);
void setLe16(std::string& out, size_t at, uint16_t v);
void setLe32(std::string& out, size_t at, uint32_t v);
void setBe32(std::string& out, size_t at, uint32_t v);

// A report validates against the DFXML schema (tests/data/dfxml) with
// xmllint, without the network.
bool validatesAsDfxml(const std::string& path);

// Deterministic bytes that no format module takes for a file start.
std::string noise(size_t length, uint32_t seed);
// Deterministic bytes of every value that differ from seed to seed, so that
// a piece read from the wrong place shows.
std::string randomBytes(size_t length, uint32_t seed);

// Sets (or, with nullptr, removes) an environment variable until the object
// goes, then restores what was there.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_, saved_;
  bool had_;
};

}  // namespace mzktest
