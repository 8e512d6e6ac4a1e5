#include "engine/modules/FileModuleWmv.h"

bool FileModuleWmv::analyze(Reader& reader, File& file) {
  File found;
  if (!FileModuleAsf::analyze(reader, found) || found.attributes.getString("t") != "wmv") return false;
  file = found;
  return true;
}
