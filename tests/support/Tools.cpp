#include "tests/support/Tools.h"

#include <stdio.h>
#include <stdlib.h>
#include <dirent.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace mzktest {

bool sh(const std::string& command) {
  int rc = system((command + " >/dev/null 2>&1").c_str());
  return rc != -1 && WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

std::string shOutput(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return std::string();
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

bool haveTool(const std::string& name) { return sh("command -v " + quote(name)); }

std::string quote(const std::string& path) {
  std::string out = "'";
  for (char c : path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (struct dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> readBytes(const std::string& path) {
  std::string text = readFile(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

void putLe16(std::string& out, uint16_t v) {
  out += char(v & 0xFF);
  out += char(v >> 8);
}
void putLe32(std::string& out, uint32_t v) {
  putLe16(out, uint16_t(v));
  putLe16(out, uint16_t(v >> 16));
}
void putLe64(std::string& out, uint64_t v) {
  putLe32(out, uint32_t(v));
  putLe32(out, uint32_t(v >> 32));
}
void putBe16(std::string& out, uint16_t v) {
  out += char(v >> 8);
  out += char(v & 0xFF);
}
void putBe32(std::string& out, uint32_t v) {
  putBe16(out, uint16_t(v >> 16));
  putBe16(out, uint16_t(v));
}
void setLe16(std::string& out, size_t at, uint16_t v) {
  out[at] = char(v & 0xFF);
  out[at + 1] = char(v >> 8);
}
void setLe32(std::string& out, size_t at, uint32_t v) {
  setLe16(out, at, uint16_t(v));
  setLe16(out, at + 2, uint16_t(v >> 16));
}
void setBe32(std::string& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = char(v >> (24 - 8 * i));
}

bool validatesAsDfxml(const std::string& path) {
  return sh("xmllint --nonet --noout --schema " + quote(MZK_SOURCE_DIR "/tests/data/dfxml/dfxml.xsd") + " " +
            quote(path));
}

std::string noise(size_t length, uint32_t seed) {
  std::string out(length, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < length; ++i) {
    x = x * 1103515245u + 12345u;
    // High bytes other than 0xFF: no signature, no text, no MPEG frame sync.
    uint8_t b = uint8_t(0x80 | ((x >> 16) & 0x7F));
    out[i] = char(b == 0xFF ? 0xFE : b);
  }
  return out;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name), had_(getenv(name) != nullptr) {
  if (had_) saved_ = getenv(name);
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (had_)
    setenv(name_.c_str(), saved_.c_str(), 1);
  else
    unsetenv(name_.c_str());
}

std::string randomBytes(size_t length, uint32_t seed) {
  std::string out(length, '\0');
  uint32_t x = seed * 2654435761u + 12345;
  for (char& b : out) {
    x = x * 1103515245u + 12345;
    b = char(x >> 16);
  }
  return out;
}

}  // namespace mzktest
