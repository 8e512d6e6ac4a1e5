// ASF files with a video stream only: the module that "FsScanner.cfg" and
// "Scanner.cfg" name "wmv".  Audio-only files are refused.
#pragma once

#include "engine/modules/FileModuleAsf.h"

class FileModuleWmv : public FileModuleAsf {
 public:
  bool analyze(Reader& reader, File& file) override;
};
