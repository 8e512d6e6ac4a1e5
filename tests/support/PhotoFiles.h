// Photo and camera raw files for the tests.  Camera files are built from
// the published TIFF/EP, Exif and CIFF layouts around a real JPEG preview;
// exiftool reads them as the camera files they imitate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/FileModule.h"

namespace mzktest {

// The size that the module registered as `module` gives `bytes` (the whole
// reader), 0 when it refuses them; the found record goes to `file`.
uint64_t analyzedSize(const std::string& module, const std::string& bytes, FileModule::File* file = nullptr);

// Lays out a TIFF-like file: an 8-byte header (magic, first IFD offset),
// then blobs and IFDs in the order they are added, at even offsets.
class TiffBuilder {
 public:
  struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
  };
  TiffBuilder(bool big, const std::string& magic);
  uint32_t add(const std::string& data);
  // An IFD with a next pointer of 0 (`chain`) or without one.
  uint32_t ifd(const std::vector<Entry>& entries, bool chain = true);
  // The next pointer of the IFD at `ifd`, or the header's first IFD offset (0).
  void setNext(uint32_t ifd, uint32_t next);
  Entry text(uint16_t tag, const std::string& text);  // ASCII with its zero byte
  std::string u16(uint32_t v) const;
  std::string u32(uint32_t v) const;

  std::string bytes;

 private:
  bool big_;
};

struct RawFile {
  std::string type, bytes;  // the "t" it must get, its bytes
  uint32_t previewOffset, previewSize;
  std::string exiftoolTag;  // exiftool's name for the preview
};

// Camera files around `jpeg` (a small JPEG preview) and `raw` (stand-in
// sensor data of an even size above 500000 bytes, mostly placed last), one
// of each: NEF (big-endian, preview in a SubIFD), CR2 (preview in IFD0,
// Canon trailer), ARW of the DSLR-A330 (padded to 64 KiB), ORF (preview in
// the Olympus maker note), RW2 (preview in tag 0x2E), RAF (directory of
// offsets), MRW (blocks around a TIFF, maker-note preview), CRW (CIFF heap).
std::vector<RawFile> cameraFiles(const std::string& jpeg, const std::string& raw);

// A small placeable metafile of metafile type `type` (1 or 2 are valid).
std::string makeWmf(uint16_t type = 1);

// `convert <args> <dir>/<name>`, read back; empty on failure.  A format
// prefix ("GIF87:old.gif") goes before the path.
std::string magick(const std::string& dir, const std::string& args, const std::string& name);

}  // namespace mzktest
