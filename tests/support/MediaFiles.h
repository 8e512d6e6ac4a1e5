// Audio, video, picture and document files made by Debian tools (lame,
// id3v2, eyeD3, sox, ffmpeg, ImageMagick, heif-enc, avifenc, cwebp,
// Ghostscript, exiftool, qpdf) for the format tests; made once per build
// folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mzktest {

// What a module makes of a damaged copy: refuses it, takes it no further
// than the damage (or refuses it), takes it whole, or it depends.
enum class Damage { kRefused, kCut, kWhole, kAny };

// `module` (a registry name) gives the file the type, "name" ("" for none)
// and "time" (-1 for none); what it makes of a copy cut short and of one
// with a sector of noise in the middle.
struct MediaFile {
  const char *name, *module, *type, *title;
  int64_t time;
  Damage truncated, corrupt;
  std::string bytes = {};  // empty when a tool is missing
};

const std::vector<MediaFile>& mediaFiles();
const MediaFile* mediaFile(const std::string& name);

// An ISO base media box: its 32-bit size, its type, `body`.
std::string isoBox(const char* type, const std::string& body);
// A Canon raw file built from the published box layout: brand "crx ", the
// Canon boxes in "moov" (compressor `version`, the Exif IFD with the date
// 2021-06-05 04:03:02, the JPEG `thumbnail` unless empty), the preview box
// with the JPEG `preview` unless empty, and `data` as picture data.
std::string canonRawFile(const std::string& thumbnail, const std::string& preview, const std::string& data,
                         const std::string& version = "CanonCR3_001/00.09.00/00.00.00");

}  // namespace mzktest
