// Audio and video files made by Debian tools (lame, id3v2, eyeD3, sox,
// ffmpeg) for the format tests; made once per build folder.
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

}  // namespace mzktest
