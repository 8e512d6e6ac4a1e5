// Helpers of the FAT tests: a private temporary folder, FAT images made with
// mkfs.vfat and filled with mtools, hand-made directory entries, and a
// file case that scans an image the way the program does.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "filesystems/FileSystems.h"
#include "engine/ScanRun.h"
#include "fat/FsFat.h"
#include "media/ReaderFile.h"
#include "shell/Config.h"
#include "tests/support/TempDir.h"

namespace fattest {

typedef mzktest::TempDir TempDir;

// Runs a shell command quietly; true on exit status 0.
inline bool sh(const std::string& command) {
  std::string full = "MTOOLS_SKIP_CHECK=1 MTOOLS_NO_VFAT=0 " + command + " >/dev/null 2>&1";
  int rc = system(full.c_str());
  return rc != -1 && WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

// Standard output of a command (sleuthkit's fls and icat).
inline std::string shOutput(const std::string& command) {
  std::string out;
  FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

inline std::string quote(const std::string& s) { return "'" + s + "'"; }

inline std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), bytes.size());
  return bytes;
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Deterministic bytes that differ from file to file.
inline std::vector<uint8_t> pattern(size_t size, uint32_t seed) {
  std::vector<uint8_t> v(size);
  uint32_t x = seed * 2654435761u + 12345;
  for (auto& b : v) {
    x = x * 1103515245u + 12345;
    b = static_cast<uint8_t>(x >> 16);
  }
  return v;
}

// A partition table with one partition, as an SD card carries it.
inline bool writeMbr(const std::string& path, uint64_t start, uint64_t sectors, uint8_t type) {
  uint8_t mbr[512] = {};
  uint8_t* e = mbr + 446;
  e[4] = type;
  for (int i = 0; i < 4; ++i) {
    e[8 + i] = uint8_t(start >> (8 * i));
    e[12 + i] = uint8_t(sectors >> (8 * i));
  }
  mbr[510] = 0x55;
  mbr[511] = 0xAA;
  FILE* f = fopen(path.c_str(), "r+b");
  if (!f) return false;
  bool ok = fwrite(mbr, 1, sizeof mbr, f) == sizeof mbr;
  return fclose(f) == 0 && ok;
}

// A FAT volume in an image file, made with mkfs.vfat; with `mbrAt` the
// volume sits behind an MBR partition table at that sector, as on an SD card.
class FatImage {
 public:
  FatImage(const TempDir& dir, const std::string& name, uint64_t megabytes, int fatBits,
           int sectorsPerCluster, uint64_t mbrAt = 0)
      : path_(dir.file(name)), dir_(dir), offset_(mbrAt * 512) {
    uint64_t bytes = megabytes * 1024 * 1024;
    uint64_t volumeSectors = bytes / 512 - mbrAt;
    ok_ = sh("truncate -s " + std::to_string(bytes) + " " + quote(path_));
    std::string options = "-F " + std::to_string(fatBits) + " -s " + std::to_string(sectorsPerCluster) +
                          " -M 0xF8 -n CARD -i 1234ABCD";
    if (mbrAt) options += " --offset=" + std::to_string(mbrAt) + " -h " + std::to_string(mbrAt);
    if (ok_)
      ok_ = sh("mkfs.vfat " + options + " " + quote(path_) + " " + std::to_string(volumeSectors / 2));
    // After mkfs, which refuses a device that already has partitions.
    if (ok_ && mbrAt) ok_ = writeMbr(path_, mbrAt, volumeSectors, fatBits == 32 ? 0x0C : 0x0E);
  }
  bool ok() const { return ok_; }
  const std::string& path() const { return path_; }
  uint64_t offset() const { return offset_; }
  // The image as mtools names it.
  std::string drive() const { return quote(path_ + "@@" + std::to_string(offset_)); }

  // Copies `bytes` in as `target` (a path like "::/DCIM/a.jpg") dated `date`.
  bool put(const std::string& target, const std::vector<uint8_t>& bytes,
           const std::string& date = "2025-06-15 10:20:30") {
    std::string local = dir_.file("put-" + std::to_string(counter_++));
    writeFile(local, bytes);
    return sh("touch -d " + quote(date) + " " + quote(local)) &&
           sh("mcopy -m -o -i " + drive() + " " + quote(local) + " " + quote(target));
  }
  bool mkdir(const std::string& target) { return sh("mmd -i " + drive() + " " + quote(target)); }
  bool del(const std::string& target) { return sh("mdel -i " + drive() + " " + quote(target)); }

 private:
  std::string path_;
  const TempDir& dir_;
  uint64_t offset_;
  bool ok_ = false;
  int counter_ = 0;
};

// The context of a volume opened by hand.
inline VolumeContext volumeContext(Reader* medium, const PatternMap* patterns = nullptr, int32_t index = 0,
                                   Scanner::Callback* found = nullptr) {
  VolumeContext context;
  context.medium = medium;
  context.patterns = patterns;
  context.index = index;
  context.found = found;
  return context;
}

// The program's own pattern files from the build's program folder.
inline ConfigRecord programConfig() {
  ConfigRecord config;
  config.set("Program Path", MZK_APP_DIR);
  return config;
}

// A file case over an image, scanned with the program's pattern files.
struct ScannedImage {
  explicit ScannedImage(const std::string& path) : config(programConfig()), fileCase(config, allFileSystems()) {
    auto* reader = new ReaderFile();
    opened = reader->open(path.c_str());
    fileCase.setReader(reader);
    if (opened) report = runScan(fileCase, config, nullptr);
  }
  // The found file with "fn" equal to `name`, or null.
  const FileModule::File* byName(const std::string& name) const {
    for (const auto& key : fileCase.order()) {
      const FileModule::File* f = fileCase.findFile(key);
      if (f && f->attributes.getString("fn") == name) return f;
    }
    return nullptr;
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& key : fileCase.order()) {
      const FileModule::File* f = fileCase.findFile(key);
      if (f && f->attributes.has("fn")) out.push_back(f->attributes.getString("fn"));
    }
    return out;
  }
  // The whole file read back through the file case; empty on failure.
  bool readBack(const FileModule::File& file, std::vector<uint8_t>& out) {
    Reader* r = fileCase.readerFor(file);
    if (!r) return false;
    out.assign(file.size, 0);
    return file.size == 0 || r->read(0, out.data(), file.size);
  }

  ConfigRecord config;
  FileCase fileCase;
  bool opened = false;
  ScanReport report;
};

// One 32-byte short directory entry.
inline std::vector<uint8_t> shortEntry(const char* name11, uint8_t attributes, uint32_t cluster, uint32_t size,
                                       uint16_t date = (45 << 9) | (6 << 5) | 15, uint16_t time = (10 << 11)) {
  std::vector<uint8_t> e(32, 0);
  memcpy(e.data(), name11, 11);
  e[11] = attributes;
  e[20] = static_cast<uint8_t>(cluster >> 16);
  e[21] = static_cast<uint8_t>(cluster >> 24);
  e[22] = static_cast<uint8_t>(time);
  e[23] = static_cast<uint8_t>(time >> 8);
  e[24] = static_cast<uint8_t>(date);
  e[25] = static_cast<uint8_t>(date >> 8);
  e[26] = static_cast<uint8_t>(cluster);
  e[27] = static_cast<uint8_t>(cluster >> 8);
  for (int i = 0; i < 4; ++i) e[28 + i] = static_cast<uint8_t>(size >> (8 * i));
  return e;
}

// One long-name entry holding up to 13 UTF-16 characters of `chars`.
inline std::vector<uint8_t> longEntry(uint8_t sequence, uint8_t checksum, const std::u16string& chars) {
  std::vector<uint8_t> e(32, 0xFF);
  e[0] = sequence;
  e[11] = 0x0F;
  e[12] = 0;
  e[13] = checksum;
  e[26] = e[27] = 0;
  static const int at[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  for (size_t i = 0; i < 13; ++i) {
    uint16_t c = i < chars.size() ? chars[i] : (i == chars.size() ? 0 : 0xFFFF);
    e[at[i]] = static_cast<uint8_t>(c);
    e[at[i] + 1] = static_cast<uint8_t>(c >> 8);
  }
  return e;
}

inline void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

}  // namespace fattest
