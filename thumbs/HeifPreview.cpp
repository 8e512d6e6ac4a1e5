#include "thumbs/HeifPreview.h"

#include <cstring>
#include <string>

#include "engine/modules/PreviewAttributes.h"
#include "shell/Endian.h"

namespace {

// Boxes are written with their size left open, then closed.
class BoxWriter {
 public:
  explicit BoxWriter(std::vector<uint8_t>& out) : out_(out) {}
  size_t open(const char* type, int version = -1) {
    size_t at = out_.size();
    u32(0);
    bytes(type, 4);
    if (version >= 0) u32(uint32_t(version) << 24);  // version, no flags
    return at;
  }
  void close(size_t at) {
    uint32_t size = uint32_t(out_.size() - at);
    for (int i = 0; i < 4; ++i) out_[at + i] = uint8_t(size >> (24 - 8 * i));
  }
  void u8(uint8_t v) { out_.push_back(v); }
  void u16(uint16_t v) { u8(uint8_t(v >> 8)), u8(uint8_t(v)); }
  void u32(uint32_t v) { u16(uint16_t(v >> 16)), u16(uint16_t(v)); }
  void bytes(const void* p, size_t n) { out_.insert(out_.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n); }
  size_t size() const { return out_.size(); }
  void patch32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out_[at + i] = uint8_t(v >> (24 - 8 * i));
  }

 private:
  std::vector<uint8_t>& out_;
};

}  // namespace

bool wrapHeifPreview(uint32_t itemType, const std::vector<uint8_t>& config, uint32_t width, uint32_t height,
                     const std::vector<uint8_t>& data, std::vector<uint8_t>& out) {
  const char* configType = itemType == kPreviewHevc ? "hvcC" : itemType == kPreviewAv1 ? "av1C" : nullptr;
  const char* brand = itemType == kPreviewHevc ? "heic" : "avif";
  if (!configType || config.size() < 8 || config.size() > kMaxHeifConfigBytes || be32(config.data()) != config.size() ||
      memcmp(config.data() + 4, configType, 4) != 0 || width == 0 || height == 0 || data.empty() || data.size() > UINT32_MAX)
    return false;
  const char type[4] = {char(itemType >> 24), char(itemType >> 16), char(itemType >> 8), char(itemType)};
  out.clear();
  BoxWriter w(out);
  size_t ftyp = w.open("ftyp");
  w.bytes(brand, 4), w.u32(0), w.bytes("mif1", 4), w.bytes(brand, 4);
  w.close(ftyp);

  size_t meta = w.open("meta", 0);
  size_t hdlr = w.open("hdlr", 0);
  w.u32(0), w.bytes("pict", 4), w.u32(0), w.u32(0), w.u32(0), w.u8(0);
  w.close(hdlr);
  size_t pitm = w.open("pitm", 0);
  w.u16(1);
  w.close(pitm);
  // One item, one extent: 32-bit offset and length, no base offset.
  size_t iloc = w.open("iloc", 0);
  w.u8(0x44), w.u8(0), w.u16(1), w.u16(1), w.u16(0), w.u16(1);
  size_t extentOffset = w.size();
  w.u32(0), w.u32(uint32_t(data.size()));
  w.close(iloc);
  size_t iinf = w.open("iinf", 0);
  w.u16(1);
  size_t infe = w.open("infe", 2);
  w.u16(1), w.u16(0), w.bytes(type, 4), w.u8(0);
  w.close(infe);
  w.close(iinf);
  size_t iprp = w.open("iprp");
  size_t ipco = w.open("ipco");
  w.bytes(config.data(), config.size());
  size_t ispe = w.open("ispe", 0);
  w.u32(width), w.u32(height);
  w.close(ispe);
  w.close(ipco);
  // The item has the configuration (essential) and its size.
  size_t ipma = w.open("ipma", 0);
  w.u32(1), w.u16(1), w.u8(2), w.u8(0x81), w.u8(0x02);
  w.close(ipma);
  w.close(iprp);
  w.close(meta);

  size_t mdat = w.open("mdat");
  w.patch32(extentOffset, uint32_t(w.size()));
  w.bytes(data.data(), data.size());
  w.close(mdat);
  return true;
}
