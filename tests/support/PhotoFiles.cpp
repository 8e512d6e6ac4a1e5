#include "tests/support/PhotoFiles.h"

#include "tests/support/Tools.h"

namespace mzktest {

namespace {

enum : uint16_t { kAscii = 2, kUndefined = 7 };

std::string be32(uint32_t v) {
  std::string s;
  putBe32(s, v);
  return s;
}

// A JPEG of odd length gets a pad byte, so that what follows stays even.
std::string even(std::string data) {
  if (data.size() % 2) data += '\0';
  return data;
}

// The value field of entry `index` of the IFD at `ifd`.
void setValue(TiffBuilder& b, uint32_t ifd, int index, uint32_t value) {
  b.bytes.replace(ifd + 2 + 12 * index + 8, 4, b.u32(value));
}

}  // namespace

TiffBuilder::TiffBuilder(bool big, const std::string& magic) : big_(big) { bytes = magic.substr(0, 4) + u32(0); }

std::string TiffBuilder::u16(uint32_t v) const {
  std::string s;
  big_ ? putBe16(s, uint16_t(v)) : putLe16(s, uint16_t(v));
  return s;
}

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

void TiffBuilder::setFirst(uint32_t ifd) { bytes.replace(4, 4, u32(ifd)); }

void TiffBuilder::setNext(uint32_t ifd, uint32_t next) {
  uint32_t count = big_ ? (uint8_t(bytes[ifd]) << 8 | uint8_t(bytes[ifd + 1])) : (uint8_t(bytes[ifd + 1]) << 8 | uint8_t(bytes[ifd]));
  bytes.replace(ifd + 2 + 12 * count, 4, u32(next));
}

TiffBuilder::Entry TiffBuilder::text(uint16_t tag, const std::string& text) {
  std::string data = text + '\0';
  if (data.size() <= 4) {
    data.resize(4, '\0');
    uint32_t v = big_ ? (uint8_t(data[0]) << 24 | uint8_t(data[1]) << 16 | uint8_t(data[2]) << 8 | uint8_t(data[3]))
                      : (uint8_t(data[3]) << 24 | uint8_t(data[2]) << 16 | uint8_t(data[1]) << 8 | uint8_t(data[0]));
    return {tag, kAscii, uint32_t(text.size() + 1), v};
  }
  return {tag, kAscii, uint32_t(data.size()), add(data)};
}

TiffBuilder::Entry TiffBuilder::longs(uint16_t tag, const std::vector<uint32_t>& values) {
  if (values.size() == 1) return longValue(tag, values[0]);
  std::string data;
  for (uint32_t v : values) data += u32(v);
  return {tag, 4, uint32_t(values.size()), add(data)};
}

RawFile makeNef(const std::string& jpeg, const std::string& raw) {
  TiffBuilder b(true, std::string("MM\0*", 4));
  auto make = b.text(0x10F, "NIKON CORPORATION"), model = b.text(0x110, "NIKON D70");
  uint32_t jpegAt = b.add(even(jpeg));
  uint32_t preview = b.ifd({b.shortValue(0x103, 6), b.longValue(0x201, jpegAt), b.longValue(0x202, uint32_t(jpeg.size()))});
  uint32_t rawIfd = b.ifd({b.longValue(0x100, 3008), b.longValue(0x101, 2000), b.shortValue(0x102, 12),
                           b.shortValue(0x103, 1), b.longValue(0x111, 0), b.longValue(0x117, uint32_t(raw.size()))});
  auto subIfds = b.longs(0x14A, {rawIfd, preview});
  b.setFirst(b.ifd({make, model, subIfds}));
  setValue(b, rawIfd, 4, b.add(raw));
  return {"nef", b.bytes, jpegAt, uint32_t(jpeg.size())};
}

RawFile makeCr2(const std::string& jpeg, const std::string& raw) {
  TiffBuilder b(false, std::string("II*\0", 4));
  b.add(std::string("CR\x02\0", 4) + b.u32(0));  // Canon's mark after the header
  auto make = b.text(0x10F, "Canon"), model = b.text(0x110, "Canon EOS 350D DIGITAL");
  uint32_t jpegAt = b.add(even(jpeg));
  // The preview's geometry comes from its own frame header.
  uint32_t ifd0 = b.ifd({b.shortValue(0x103, 6), make, model, b.longValue(0x111, jpegAt),
                         b.longValue(0x117, uint32_t(jpeg.size()))});
  uint32_t rawIfd = b.ifd({b.longValue(0x100, 3456), b.longValue(0x101, 2304), b.shortValue(0x102, 16),
                           b.shortValue(0x103, 6), b.longValue(0x111, 0), b.longValue(0x117, uint32_t(raw.size()))});
  b.setFirst(ifd0);
  b.setNext(ifd0, rawIfd);
  setValue(b, rawIfd, 4, b.add(even(raw)));
  b.add(std::string("\xFF\xFF\xFF\xFF\x02\0\0\0", 8) + std::string(152, '\x11'));
  return {"cr2", b.bytes, jpegAt, uint32_t(jpeg.size())};
}

RawFile makeSonyA330(const std::string& jpeg, const std::string& raw) {
  TiffBuilder b(false, std::string("II*\0", 4));
  auto make = b.text(0x10F, "SONY"), model = b.text(0x110, "DSLR-A330");
  uint32_t jpegAt = b.add(even(jpeg));
  uint32_t rawIfd = b.ifd({b.longValue(0x100, 3880), b.longValue(0x101, 2608), b.shortValue(0x102, 12),
                           b.shortValue(0x103, 32767), b.longValue(0x111, 0), b.longValue(0x117, uint32_t(raw.size()))});
  b.setFirst(b.ifd({b.shortValue(0x103, 6), make, model, b.longValue(0x111, jpegAt),
                    b.longValue(0x117, uint32_t(jpeg.size())), b.longValue(0x14A, rawIfd)}));
  setValue(b, rawIfd, 4, b.add(raw));
  b.bytes.resize((b.bytes.size() + 65535) / 65536 * 65536, '\0');  // the camera pads
  return {"arw", b.bytes, jpegAt, uint32_t(jpeg.size())};
}

RawFile makeOrf(const std::string& jpeg, const std::string& raw) {
  TiffBuilder b(false, "IIRO");
  auto make = b.text(0x10F, "OLYMPUS IMAGING CORP."), model = b.text(0x110, "E-510");
  // The maker note counts its offsets from its own first byte: its IFD at
  // 12, the camera settings at 30, the preview at 60.
  TiffBuilder note(false, "OLYM");
  note.bytes = std::string("OLYMPUS\0II\x03\0", 12);
  note.ifd({note.longValue(0x2020, 30)});
  note.ifd({note.longValue(0x101, 60), note.longValue(0x102, uint32_t(jpeg.size()))});
  note.add(jpeg);
  uint32_t noteAt = b.add(note.bytes);
  uint32_t exif = b.ifd({{0x927C, kUndefined, uint32_t(note.bytes.size()), noteAt}}, false);
  uint32_t ifd0 = b.ifd({b.longValue(0x100, 3720), b.longValue(0x101, 2800), b.shortValue(0x102, 16),
                         b.shortValue(0x103, 1), make, model, b.longValue(0x111, 0),
                         b.longValue(0x117, uint32_t(raw.size())), b.longValue(0x8769, exif)});
  b.setFirst(ifd0);
  setValue(b, ifd0, 6, b.add(raw));
  return {"orf", b.bytes, noteAt + 60, uint32_t(jpeg.size())};
}

RawFile makeRw2(const std::string& jpeg, const std::string& raw) {
  TiffBuilder b(false, std::string("IIU\0", 4));
  b.add("\x88\xe7\x74\xd8\xf8\x25\x1d\x4d\x94\x7a\x6e\x77\x82\x2b\x5d\x6a");  // Panasonic's mark
  auto make = b.text(0x10F, "Panasonic"), model = b.text(0x110, "DMC-GH1");
  uint32_t jpegAt = b.add(even(jpeg));
  // Panasonic's own version and sensor size; no baseline geometry.
  uint32_t ifd0 = b.ifd({{0x01, kUndefined, 4, 0x30313330}, b.shortValue(0x02, 4000), b.shortValue(0x03, 3000),
                         {0x2E, kUndefined, uint32_t(jpeg.size()), jpegAt}, make, model, b.longValue(0x111, 0),
                         b.longValue(0x117, uint32_t(raw.size()))});
  b.setFirst(ifd0);
  setValue(b, ifd0, 6, b.add(raw));
  return {"rw2", b.bytes, jpegAt, uint32_t(jpeg.size())};
}

RawFile makeRaf(const std::string& jpeg, const std::string& raw) {
  std::string name = "FinePix S5Pro";
  std::string header = "FUJIFILMCCD-RAW 0201FF383501" + name + std::string(32 - name.size(), '\0') + "0100" +
                       std::string(20, '\0');
  uint32_t jpegAt = 148;
  std::string rawHeader = be32(1) + std::string("\x01\x00\x00\x04\x0b\xb8\x0f\xa0", 8);
  uint32_t headerAt = uint32_t(jpegAt + even(jpeg).size()), rawAt = headerAt + uint32_t(rawHeader.size());
  header += be32(jpegAt) + be32(uint32_t(jpeg.size())) + be32(headerAt) + be32(uint32_t(rawHeader.size())) +
            be32(rawAt) + be32(uint32_t(raw.size()));
  header.resize(jpegAt, '\0');
  return {"raf", header + even(jpeg) + rawHeader + raw, jpegAt, uint32_t(jpeg.size())};
}

RawFile makeMrw(const std::string& jpeg, const std::string& raw) {
  const uint32_t height = 100, width = 150, rawBytes = height * width * 3 / 2;
  TiffBuilder t(true, std::string("MM\0*", 4));
  auto make = t.text(0x10F, "MINOLTA"), model = t.text(0x110, "DiMAGE A2");
  uint32_t jpegAt = t.add(even(jpeg));
  uint32_t note = t.ifd({t.longValue(0x88, jpegAt), t.longValue(0x89, uint32_t(jpeg.size()))});
  uint32_t exif = t.ifd({{0x927C, kUndefined, 30, note}}, false);
  t.setFirst(t.ifd({make, model, t.longValue(0x8769, exif)}));
  std::string prd = std::string("\0PRD", 4) + be32(24) + "21810002" + std::string("\0\x64\0\x96", 4) +
                    std::string(12, '\0');
  std::string ttw = std::string("\0TTW", 4) + be32(uint32_t(t.bytes.size())) + t.bytes;
  std::string blocks = prd + ttw;
  uint32_t tiffAt = 8 + uint32_t(prd.size()) + 8;
  return {"mrw", std::string("\0MRM", 4) + be32(uint32_t(blocks.size())) + blocks + raw.substr(0, rawBytes),
          tiffAt + jpegAt, uint32_t(jpeg.size())};
}

RawFile makeCrw(const std::string& jpeg, const std::string& raw) {
  std::string file = std::string("II\x1a\0\0\0HEAPCCDR\x02\0\x01\0", 18) + std::string(8, '\0');
  std::string thumb = even(jpeg), data = thumb + even(raw);
  std::string table;
  putLe16(table, 2);
  for (auto e : {std::vector<uint32_t>{0x2008, uint32_t(jpeg.size()), 0},
                 std::vector<uint32_t>{0x2005, uint32_t(raw.size()), uint32_t(thumb.size())}}) {
    putLe16(table, uint16_t(e[0]));
    putLe32(table, e[1]);
    putLe32(table, e[2]);
  }
  putLe32(table, uint32_t(data.size()));
  return {"crw", file + data + table, 26, uint32_t(jpeg.size())};
}

// A placeable metafile from the published layout: the 22-byte placeable
// header, the 9-word header, one SetBkMode record and the EOF record.
std::string makeWmf(uint16_t type) {
  std::string w("\xD7\xCD\xC6\x9A\0\0", 6);
  for (uint16_t v : {0, 0, 100, 100, 1440, 0, 0, 0}) putLe16(w, v);
  putLe16(w, type);
  putLe16(w, 9);
  putLe16(w, 0x300);
  putLe32(w, 9 + 4 + 3);  // words: header, record, EOF
  putLe16(w, 0);
  putLe32(w, 4);
  putLe16(w, 0);
  putLe32(w, 4);
  putLe16(w, 0x102);
  putLe16(w, 1);
  putLe32(w, 3);
  putLe16(w, 0);
  return w;
}

std::string magick(const std::string& dir, const std::string& args, const std::string& name) {
  size_t colon = name.find(':');
  std::string path = dir + "/" + name.substr(colon + 1);  // without a format prefix
  if (!sh("convert " + args + " " + quote(name.substr(0, colon + 1) + path))) return std::string();
  return readFile(path);
}

}  // namespace mzktest
