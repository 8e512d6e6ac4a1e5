#include "engine/modules/FileModuleRaf.h"

#include <cstring>

#include "engine/modules/FileModuleTiff.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

const char kMagic[] = "FUJIFILMCCD-RAW ";
const size_t kMagicBytes = 16;
// The directory: offset and length of the JPEG preview, the raw header
// and the raw data.
const uint64_t kDirectoryAt = 84;
enum Piece { kJpeg, kRawHeader, kRawData, kPieces };
const uint64_t kHeaderBytes = kDirectoryAt + 8 * kPieces;

}  // namespace

bool FileModuleRaf::scan(const uint8_t* sector, uint32_t length) {
  return length >= kMagicBytes && memcmp(sector, kMagic, kMagicBytes) == 0;
}

bool FileModuleRaf::analyze(Reader& reader, File& file) {
  uint8_t header[kHeaderBytes];
  if (!reader.read(0, header, sizeof header) || !scan(header, sizeof header)) return false;
  uint64_t end = kHeaderBytes;
  uint32_t offset[kPieces], length[kPieces];
  for (int i = 0; i < kPieces; ++i) {
    offset[i] = be32(header + kDirectoryAt + 8 * i);
    length[i] = be32(header + kDirectoryAt + 8 * i + 4);
    if (length[i] == 0) continue;
    if (offset[i] < kHeaderBytes || !Reader::fits(offset[i], length[i], reader.size())) return false;
    if (uint64_t(offset[i]) + length[i] > end) end = uint64_t(offset[i]) + length[i];
  }
  if (length[kRawData] == 0) return false;
  file.clear();
  file.attributes.set("t", "raf");
  file.attributes.setBool("raw", true);
  file.size = end;
  uint8_t soi[2];
  if (length[kJpeg] != 0 && reader.read(offset[kJpeg], soi, 2) && soi[0] == 0xFF && soi[1] == 0xD8)
    FileModuleTiff::setJpegThumbnail(reader, file, offset[kJpeg], length[kJpeg]);
  return true;
}
