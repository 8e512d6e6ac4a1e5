// Real pictures for tests, made by ImageMagick.
#pragma once

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/TempDir.h"

namespace mzktest {

// The bytes of a picture made by `convert` from `source` (for example
// "xc:red" or "gradient:red-blue") at `geometry` ("640x480") into
// folder/name, whose extension chooses the format; empty when ImageMagick
// is missing.
inline std::string makePicture(const TempDir& folder, const std::string& name,
                               const std::string& geometry, const std::string& source) {
  const std::string path = folder.file(name);
  const std::string command =
      "convert -size " + geometry + " '" + source + "' '" + path + "' 2>/dev/null";
  if (system(command.c_str()) != 0) return std::string();
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace mzktest
