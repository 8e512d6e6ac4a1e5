// Photo and camera raw files for the tests.  Camera files cannot be fetched
// here, so they are built from the published TIFF/EP, Exif and CIFF layouts
// around a real JPEG preview (made by ImageMagick); the results read back
// in exiftool as the camera files they imitate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mzktest {

// Lays out a TIFF-like file: an 8-byte header, then blobs and IFDs in the
// order they are added.
class TiffBuilder {
 public:
  struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
  };
  // `magic` is the first four bytes; the first IFD offset follows.
  TiffBuilder(bool big, const std::string& magic);

  uint32_t add(const std::string& data);  // at the next even offset
  // An IFD with a next pointer of 0 (`chain`) or without one.
  uint32_t ifd(const std::vector<Entry>& entries, bool chain = true);
  void setFirst(uint32_t ifd);
  void setNext(uint32_t ifd, uint32_t next);
  Entry text(uint16_t tag, const std::string& text);  // ASCII with its zero byte
  Entry longs(uint16_t tag, const std::vector<uint32_t>& values);
  static Entry shortValue(uint16_t tag, uint32_t value) { return {tag, 3, 1, value}; }
  static Entry longValue(uint16_t tag, uint32_t value) { return {tag, 4, 1, value}; }
  std::string u16(uint32_t v) const;
  std::string u32(uint32_t v) const;

  std::string bytes;

 private:
  bool big_;
};

struct RawFile {
  std::string type;  // the "t" it must get
  std::string bytes;
  uint32_t previewOffset = 0;
  uint32_t previewSize = 0;
};

// Camera files around `jpeg` (a small JPEG preview) and `raw` (stand-in
// sensor data, placed last unless said otherwise).
RawFile makeNef(const std::string& jpeg, const std::string& raw);    // big-endian, preview in a SubIFD
RawFile makeCr2(const std::string& jpeg, const std::string& raw);    // preview in IFD0, Canon trailer
RawFile makeSonyA330(const std::string& jpeg, const std::string& raw);  // padded to 64 KiB
RawFile makeOrf(const std::string& jpeg, const std::string& raw);    // preview in the Olympus maker note
RawFile makeRw2(const std::string& jpeg, const std::string& raw);    // preview in tag 0x2E
RawFile makeRaf(const std::string& jpeg, const std::string& raw);    // directory of offsets
RawFile makeMrw(const std::string& jpeg, const std::string& raw);    // blocks, TIFF, maker-note preview
RawFile makeCrw(const std::string& jpeg, const std::string& raw);    // CIFF heap; raw must exceed 500000 bytes

// A small placeable metafile of metafile type `type` (1 or 2 are valid).
std::string makeWmf(uint16_t type = 1);

// `convert <args> <dir>/<name>`, read back; empty on failure.  A format
// prefix ("GIF87:old.gif") goes before the path.
std::string magick(const std::string& dir, const std::string& args, const std::string& name);

}  // namespace mzktest
