#include "tests/support/PhotoFiles.h"

#include "engine/FileModuleRegistry.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/Tools.h"

namespace mzktest {

uint64_t analyzedSize(const std::string& module, const std::string& bytes, FileModule::File* file) {
  static FileModuleRegistry registry;
  MemoryReader reader(bytes.data(), bytes.size());
  FileModule::File found;
  if (!registry.findModule(module)->analyze(reader, found)) return 0;
  if (file) *file = found;
  return found.size;
}

namespace {

enum : uint16_t { kAscii = 2, kUndefined = 7 };
typedef TiffBuilder::Entry E;

std::string be32(uint32_t v) { return TiffBuilder(true, "").u32(v); }

// The value field of entry `index` of the IFD at `ifd`.
void setValue(TiffBuilder& b, uint32_t ifd, int index, uint32_t value) {
  b.bytes.replace(ifd + 2 + 12 * index + 8, 4, b.u32(value));
}

// The entries of a raw image in one strip; the strip's offset (entry 4) is
// set when the data is placed.
std::vector<TiffBuilder::Entry> rawStrip(uint32_t width, uint32_t height, uint32_t bits, uint32_t compression,
                                         size_t bytes) {
  return {{0x100, 4, 1, width},       {0x101, 4, 1, height}, {0x102, 3, 1, bits},
          {0x103, 3, 1, compression}, {0x111, 4, 1, 0},      {0x117, 4, 1, uint32_t(bytes)}};
}

}  // namespace

TiffBuilder::TiffBuilder(bool big, const std::string& magic) : big_(big) { bytes = magic.substr(0, 4) + u32(0); }

std::string TiffBuilder::u16(uint32_t v) const { return u32(v << 16).substr(big_ ? 0 : 2, 2); }

std::string TiffBuilder::u32(uint32_t v) const {
  std::string s;
  big_ ? putBe32(s, v) : putLe32(s, v);
  return s;
}

uint32_t TiffBuilder::add(const std::string& data) {
  if (bytes.size() % 2) bytes += '\0';
  uint32_t at = uint32_t(bytes.size());
  bytes += data;
  return at;
}

uint32_t TiffBuilder::ifd(const std::vector<Entry>& entries, bool chain) {
  std::string out = u16(uint32_t(entries.size()));
  for (const Entry& e : entries) {
    out += u16(e.tag) + u16(e.type) + u32(e.count);
    out += e.type == 3 && e.count == 1 ? u16(e.value) + std::string(2, '\0') : u32(e.value);
  }
  if (chain) out += u32(0);
  return add(out);
}

void TiffBuilder::setNext(uint32_t ifd, uint32_t next) {
  uint32_t count = ifd ? uint8_t(bytes[ifd + (big_ ? 1 : 0)]) : 0;  // IFDs of tests hold fewer than 256 entries
  bytes.replace(ifd ? ifd + 2 + 12 * count : 4, 4, u32(next));
}

TiffBuilder::Entry TiffBuilder::text(uint16_t tag, const std::string& text) {
  return {tag, kAscii, uint32_t(text.size() + 1), add(text + '\0')};  // texts of 4 bytes or more
}

namespace {

RawFile makeNef(const std::string& jpeg, const std::string& raw) {
  TiffBuilder b(true, std::string("MM\0*", 4));
  auto make = b.text(0x10F, "NIKON CORPORATION"), model = b.text(0x110, "NIKON D70");
  uint32_t jpegAt = b.add(jpeg);
  uint32_t preview = b.ifd({E{0x103, 3, 1, 6}, E{0x201, 4, 1, jpegAt}, E{0x202, 4, 1, uint32_t(jpeg.size())}});
  uint32_t rawIfd = b.ifd(rawStrip(3008, 2000, 12, 1, raw.size()));
  TiffBuilder::Entry subIfds = {0x14A, 4, 2, b.add(b.u32(rawIfd) + b.u32(preview))};
  b.setNext(0, b.ifd({make, model, subIfds}));
  setValue(b, rawIfd, 4, b.add(raw));
  return {"nef", b.bytes, jpegAt, uint32_t(jpeg.size()), "OtherImage"};
}

// Canon's CR2 (mark after the header, the preview a strip of IFD0, trailer
// at the end) or Sony's DSLR-A330 (the preview an IFD0 JPEG stream, padded
// to 64 KiB); the raw in IFD1.
RawFile makeCanonOrSony(bool canon, const std::string& jpeg, const std::string& raw) {
  TiffBuilder b(false, std::string("II*\0", 4));
  if (canon) b.add(std::string("CR\x02\0", 4) + b.u32(0));
  auto make = b.text(0x10F, canon ? "Canon" : "SONY"),
       model = b.text(0x110, canon ? "Canon EOS 350D DIGITAL" : "DSLR-A330");
  uint32_t jpegAt = b.add(jpeg);
  // The preview's geometry comes from its own frame header.
  uint16_t at = canon ? 0x111 : 0x201, length = canon ? 0x117 : 0x202;
  uint32_t ifd0 = b.ifd({E{0x103, 3, 1, 6}, make, model, E{at, 4, 1, jpegAt}, E{length, 4, 1, uint32_t(jpeg.size())}});
  uint32_t rawIfd = b.ifd(rawStrip(3456, 2304, 16, canon ? 6 : 32767, raw.size()));
  b.setNext(0, ifd0);
  b.setNext(ifd0, rawIfd);
  setValue(b, rawIfd, 4, b.add(raw));
  if (canon)
    b.add(std::string("\xFF\xFF\xFF\xFF\x02\0\0\0", 8) + std::string(152, '\x11'));
  else
    b.bytes.resize((b.bytes.size() + 65535) / 65536 * 65536, '\0');
  return {canon ? "cr2" : "arw", b.bytes, jpegAt, uint32_t(jpeg.size()), "PreviewImage"};
}

RawFile makeOrf(const std::string& jpeg, const std::string& raw) {
  TiffBuilder b(false, "IIRO");
  auto make = b.text(0x10F, "OLYMPUS IMAGING CORP."), model = b.text(0x110, "E-510");
  // The maker note counts its offsets from its own first byte: its IFD at
  // 12, the camera settings at 30, the preview at 60.
  TiffBuilder note(false, "OLYM");
  note.bytes = std::string("OLYMPUS\0II\x03\0", 12);
  note.ifd({E{0x2020, 4, 1, 30}});
  note.ifd({E{0x101, 4, 1, 60}, E{0x102, 4, 1, uint32_t(jpeg.size())}});
  note.add(jpeg);
  uint32_t noteAt = b.add(note.bytes);
  uint32_t exif = b.ifd({{0x927C, kUndefined, uint32_t(note.bytes.size()), noteAt}}, false);
  std::vector<TiffBuilder::Entry> entries = rawStrip(3720, 2800, 16, 1, raw.size());
  entries.insert(entries.begin() + 4, {make, model});  // tags in order
  entries.push_back(E{0x8769, 4, 1, exif});
  uint32_t ifd0 = b.ifd(entries);
  b.setNext(0, ifd0);
  setValue(b, ifd0, 6, b.add(raw));
  return {"orf", b.bytes, noteAt + 60, uint32_t(jpeg.size()), "PreviewImage"};
}

RawFile makeRw2(const std::string& jpeg, const std::string& raw) {
  TiffBuilder b(false, std::string("IIU\0", 4));
  b.add("\x88\xe7\x74\xd8\xf8\x25\x1d\x4d\x94\x7a\x6e\x77\x82\x2b\x5d\x6a");  // Panasonic's mark
  auto make = b.text(0x10F, "Panasonic"), model = b.text(0x110, "DMC-GH1");
  uint32_t jpegAt = b.add(jpeg);
  // Panasonic's own version and sensor size; no baseline geometry.
  uint32_t ifd0 = b.ifd({E{0x01, kUndefined, 4, 0x30313330}, E{0x02, 3, 1, 4000}, E{0x03, 3, 1, 3000},
                         E{0x2E, kUndefined, uint32_t(jpeg.size()), jpegAt}, make, model, E{0x111, 4, 1, 0},
                         E{0x117, 4, 1, uint32_t(raw.size())}});
  b.setNext(0, ifd0);
  setValue(b, ifd0, 6, b.add(raw));
  return {"rw2", b.bytes, jpegAt, uint32_t(jpeg.size()), "JpgFromRaw"};
}

RawFile makeRaf(const std::string& jpeg, const std::string& raw) {
  std::string header = "FUJIFILMCCD-RAW 0201FF383501FinePix S5Pro" + std::string(19, 0) + "0100" + std::string(20, 0);
  uint32_t jpegAt = 148;
  std::string rawHeader = be32(1) + std::string("\x01\x00\x00\x04\x0b\xb8\x0f\xa0", 8);
  uint32_t headerAt = uint32_t(jpegAt + jpeg.size()), rawAt = headerAt + uint32_t(rawHeader.size());
  header += be32(jpegAt) + be32(uint32_t(jpeg.size())) + be32(headerAt) + be32(uint32_t(rawHeader.size())) +
            be32(rawAt) + be32(uint32_t(raw.size()));
  header.resize(jpegAt, '\0');
  return {"raf", header + jpeg + rawHeader + raw, jpegAt, uint32_t(jpeg.size()), "PreviewImage"};
}

RawFile makeMrw(const std::string& jpeg, const std::string& raw) {
  const uint32_t height = 100, width = 150, rawBytes = height * width * 3 / 2;
  TiffBuilder t(true, std::string("MM\0*", 4));
  auto make = t.text(0x10F, "MINOLTA"), model = t.text(0x110, "DiMAGE A2");
  uint32_t jpegAt = t.add(jpeg);
  uint32_t note = t.ifd({E{0x88, 4, 1, jpegAt}, E{0x89, 4, 1, uint32_t(jpeg.size())}});
  uint32_t exif = t.ifd({{0x927C, kUndefined, 30, note}}, false);
  t.setNext(0, t.ifd({make, model, E{0x8769, 4, 1, exif}}));
  std::string prd =
      std::string("\0PRD", 4) + be32(24) + "21810002" + std::string("\0\x64\0\x96", 4) + std::string(12, '\0');
  std::string blocks = prd + std::string("\0TTW", 4) + be32(uint32_t(t.bytes.size())) + t.bytes;
  uint32_t tiffAt = 8 + uint32_t(prd.size()) + 8;
  return {"mrw", std::string("\0MRM", 4) + be32(uint32_t(blocks.size())) + blocks + raw.substr(0, rawBytes),
          tiffAt + jpegAt, uint32_t(jpeg.size()), "PreviewImage"};
}

RawFile makeCrw(const std::string& jpeg, const std::string& raw) {
  std::string file = std::string("II\x1a\0\0\0HEAPCCDR\x02\0\x01\0", 18) + std::string(8, '\0');
  std::string data = jpeg + raw;
  std::string table;  // two entries: tag, length, offset from byte 26
  for (uint32_t v : {2u, 0x2008u, uint32_t(jpeg.size()), 0u, 0x2005u, uint32_t(raw.size()), uint32_t(jpeg.size())})
    table.size() % 10 == 2 || table.empty() ? putLe16(table, uint16_t(v)) : putLe32(table, v);
  putLe32(table, uint32_t(data.size()));
  return {"crw", file + data + table, 26, uint32_t(jpeg.size()), "ThumbnailImage"};
}

}  // namespace

std::vector<RawFile> cameraFiles(const std::string& jpeg, const std::string& raw) {
  return {makeNef(jpeg, raw), makeCanonOrSony(true, jpeg, raw), makeCanonOrSony(false, jpeg, raw), makeOrf(jpeg, raw),
          makeRw2(jpeg, raw), makeRaf(jpeg, raw), makeMrw(jpeg, raw), makeCrw(jpeg, raw)};
}

// The published layout: the 22-byte placeable header, the 9-word header,
// one SetBkMode record and the EOF record.
std::string makeWmf(uint16_t type) {
  std::string w("\xD7\xCD\xC6\x9A\0\0", 6);
  for (int v : {0, 0, 100, 100, 1440, 0, 0, 0, int(type), 9, 0x300, 16, 0, 0, 4, 0, 0, 4, 0, 0x102, 1, 3, 0, 0})
    putLe16(w, v);  // 32-bit fields as two words, low first
  return w;
}

std::string magick(const std::string& dir, const std::string& args, const std::string& name) {
  size_t colon = name.find(':');
  std::string path = dir + "/" + name.substr(colon + 1);  // without a format prefix
  if (!sh("convert " + args + " " + quote(name.substr(0, colon + 1) + path))) return std::string();
  return readFile(path);
}

}  // namespace mzktest
