#include "engine/modules/FileModuleTiff.h"

#include <cstring>
#include <utility>

#include "engine/modules/FileModuleJpeg.h"
#include "engine/modules/FileModuleTiffCamera.h"
#include "engine/modules/FileModuleTiffWalk.h"
#include "engine/modules/TiffLayout.h"
#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "media/ReaderReader.h"
#include "shell/Endian.h"

namespace {

const uint8_t kLittle[4] = {'I', 'I', 0x2A, 0x00};
const uint8_t kBig[4] = {'M', 'M', 0x00, 0x2A};
const uint8_t kMinoltaBig[4] = {0x00, 'M', 'R', 'M'};
const uint8_t kMinoltaLittle[4] = {0x00, 'M', 'R', 'I'};

// Canon's trailer after the last structure of some bodies.
const uint8_t kCanonTrailer[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00};
const uint64_t kCanonTrailerBytes = 160;

// Minolta blocks: picture dimensions, and the one holding the TIFF header.
const uint8_t kMinoltaPrd[4] = {0x00, 'P', 'R', 'D'};
const uint8_t kMinoltaTtw[4] = {0x00, 'T', 'T', 'W'};
const uint32_t kMaxMinoltaBlocks = 1000;

const uint32_t kJpegCompression = 6;

bool isCanonWholeImageBody(const std::string& model) { return model == "Canon EOS-1D" || model == "Canon EOS-1DS"; }

// The byte order of a TIFF header; false when it is not one.
bool tiffOrder(const uint8_t* header, bool& big) {
  if (memcmp(header, kLittle, 4) == 0)
    big = false;
  else if (memcmp(header, kBig, 4) == 0)
    big = true;
  else
    return false;
  return true;
}

uint64_t roundUp(uint64_t value, uint64_t step) { return (value + step - 1) / step * step; }

// The thumbnail attributes of an image; those it does not know are left out.
void setThumbnail(FileModule::File& file, const TiffImage& image) {
  const std::pair<const char*, uint32_t> fields[] = {
      {"thumbnail_offset", image.offset},           {"thumbnail_size", image.size},
      {"thumbnail_compression", image.compression}, {"thumbnail_width", image.width},
      {"thumbnail_height", image.height},           {"thumbnail_bits_per_sample", image.bitsPerSample},
      {"thumbnail_samples", image.samples}};
  for (const auto& field : fields)
    if (field.second != TiffImage::kUnknown) file.attributes.setUint32(field.first, field.second);
}

}  // namespace

bool FileModuleTiff::scan(const uint8_t* sector, uint32_t length) {
  if (length < 4) return false;
  for (const uint8_t* magic : {kLittle, kBig, kMinoltaBig, kMinoltaLittle})
    if (memcmp(sector, magic, 4) == 0) return true;
  return false;
}

bool FileModuleTiff::analyze(Reader& reader, File& file) {
  uint8_t header[8];
  if (!reader.read(0, header, sizeof header)) return false;
  if (header[0] == 0) return analyzeMinolta(reader, header, file);
  bool big = false;
  if (!tiffOrder(header, big)) return false;
  TiffLayout layout(reader.size());
  if (!layout.extendTo(sizeof header)) return false;
  TiffWalk walk(reader, big, layout);
  if (!walk.walkChain(walk.u32(header + 4))) return false;

  if (layout.make == "Canon") {
    if (isCanonWholeImageBody(layout.model) && layout.end % 16 != 0) (void)layout.extendTo(roundUp(layout.end, 16));
    uint64_t at = layout.end;
    uint8_t mark[8];
    if (Reader::fits(at, sizeof mark, reader.size()) && reader.read(at, mark, sizeof mark) &&
        memcmp(mark, kCanonTrailer, sizeof mark) == 0 && !layout.extendTo(at + kCanonTrailerBytes))
      return false;
  }
  finish(reader, layout, file);
  return true;
}

void FileModuleTiff::setJpegThumbnail(Reader& reader, File& file, uint32_t offset, uint32_t size) {
  TiffImage image;
  image.offset = offset;
  image.size = size;
  image.compression = kJpegCompression;
  ByteCursor cursor(reader);
  JpegGeometry geometry;
  if (FileModuleJpeg::readGeometry(cursor, offset, geometry) == FileModuleJpeg::Frame::kFound) {
    image.width = geometry.width;
    image.height = geometry.height;
    image.bitsPerSample = geometry.bitsPerSample;
    image.samples = geometry.samples;
  }
  setThumbnail(file, image);
}

void FileModuleTiff::finish(Reader& reader, TiffLayout& layout, File& file, const char* rawType) {
  int preview = layout.choosePreview(isCanonWholeImageBody(layout.model));
  file.clear();
  const char* type = rawType ? rawType : cameraRawType(layout.make, layout.model);
  file.attributes.set("t", type ? type : "tiff");
  if (type) file.attributes.setBool("raw", true);
  // This body pads its files to whole 64 KiB.
  if (layout.make.compare(0, 4, "SONY") == 0 && layout.model == "DSLR-A330")
    (void)layout.extendTo(roundUp(layout.end, 65536));
  file.size = layout.end;
  const TiffImage& named = layout.namedPreview;
  if (named.offset != TiffImage::kUnknown && Reader::fits(named.offset, named.size, file.size))
    setJpegThumbnail(reader, file, named.offset, named.size);
  else if (preview >= 0)
    setThumbnail(file, layout.images[preview]);
}

bool FileModuleTiff::analyzeMinolta(Reader& reader, const uint8_t* header, File& file) {
  bool big;
  if (memcmp(header, kMinoltaBig, 4) == 0)
    big = true;
  else if (memcmp(header, kMinoltaLittle, 4) == 0)
    big = false;
  else
    return false;
  auto u16 = [big](const uint8_t* p) { return big ? be16(p) : le16(p); };
  auto u32 = [big](const uint8_t* p) { return big ? be32(p) : le32(p); };
  uint64_t dataStart = uint64_t(u32(header + 4)) + 8;
  if (dataStart > reader.size()) return false;

  // The blocks before the raw data: dimensions, and where the TIFF header is.
  ByteCursor cursor(reader, dataStart);
  uint32_t dimOne = 0, dimTwo = 0;
  uint64_t tiff = 0;
  bool haveDims = false, haveTiff = false;
  uint64_t at = 8;
  for (uint32_t n = 0; at < dataStart && n < kMaxMinoltaBlocks; ++n) {
    uint8_t block[8];
    if (!cursor.read(at, block, sizeof block)) return false;
    if (memcmp(block, kMinoltaPrd, 4) == 0) {
      uint8_t dims[4];
      if (!cursor.read(at + 16, dims, sizeof dims)) return false;
      dimOne = u16(dims);
      dimTwo = u16(dims + 2);
      haveDims = true;
    } else if (memcmp(block, kMinoltaTtw, 4) == 0) {
      tiff = at + 8;
      haveTiff = true;
    }
    at += 8 + uint64_t(u32(block + 4));
  }
  if (!haveDims || !haveTiff || tiff >= dataStart) return false;

  uint8_t tiffHeader[8];
  bool tiffBig = false;
  if (!reader.read(tiff, tiffHeader, sizeof tiffHeader) || !tiffOrder(tiffHeader, tiffBig)) return false;
  ReaderReader inner(&reader);
  if (!inner.setWindow(tiff, reader.size() - tiff)) return false;
  TiffLayout layout(inner.size());
  // The raw data: 12 bits a pixel.
  if (!layout.extendTo((dataStart - tiff) + uint64_t(dimOne) * dimTwo * 3 / 2)) return false;
  layout.makerNoteKind = 1;
  TiffWalk walk(inner, tiffBig, layout);
  if (!walk.walkFirst(walk.u32(tiffHeader + 4))) return false;

  file.clear();
  file.attributes.set("t", "mrw");
  file.size = tiff + layout.end;
  file.attributes.setBool("raw", true);
  // The maker note's preview counts from the TIFF header; one that does not
  // lie inside the file is no thumbnail.
  uint64_t thumb = tiff + layout.makerThumbOffset;
  if (layout.makerThumbOffset != TiffImage::kUnknown && Reader::fits(thumb, layout.makerThumbSize, file.size)) {
    file.attributes.setUint32("thumbnail_offset", static_cast<uint32_t>(thumb));
    file.attributes.setUint32("thumbnail_size", layout.makerThumbSize);
    file.attributes.setUint32("thumbnail_compression", kJpegCompression);
  }
  return true;
}
