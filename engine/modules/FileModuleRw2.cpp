#include "engine/modules/FileModuleRw2.h"

#include <cstring>

#include "engine/modules/FileModuleTiff.h"
#include "engine/modules/FileModuleTiffWalk.h"
#include "engine/modules/TiffLayout.h"
#include "media/Reader.h"

namespace {
const uint8_t kMagic[4] = {'I', 'I', 'U', 0x00};
const uint16_t kJpegFromRaw = 0x2E;
}  // namespace

bool FileModuleRw2::scan(const uint8_t* sector, uint32_t length) {
  return length >= 4 && memcmp(sector, kMagic, 4) == 0;
}

bool FileModuleRw2::analyze(Reader& reader, File& file) {
  uint8_t header[8];
  if (!reader.read(0, header, sizeof header) || !scan(header, sizeof header)) return false;
  TiffLayout layout(reader.size());
  if (!layout.extendTo(sizeof header)) return false;
  TiffDialect dialect;
  dialect.lenientImages = true;
  dialect.previewTag = kJpegFromRaw;
  TiffWalk walk(reader, false, layout, dialect);
  if (!walk.walkChain(walk.u32(header + 4))) return false;
  FileModuleTiff::finish(reader, layout, file, "rw2");
  return true;
}
