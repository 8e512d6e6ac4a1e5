// Where the bytes of a found file lie on the medium: one run for a file of
// the signature scanner, one run per stretch of consecutive clusters for a
// file of a FAT volume.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/FileModule.h"

class FileCase;

struct ByteRun {
  uint64_t fileOffset = 0;
  uint64_t imageOffset = 0;
  uint64_t length = 0;
};

// Empty when the case has no reader for the file or the file is empty.
// Uses (and re-aims) the case's reader for the file.
std::vector<ByteRun> byteRunsOf(FileCase& fileCase, const FileModule::File& file);
