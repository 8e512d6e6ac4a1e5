// ARJ archives.  Registered as "arj".
#pragma once

#include "engine/FileModule.h"

class FileModuleArj : public FileModule {
 public:
  // 60 EA at the start and file type 2 (the main header) at byte 10.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Walks the local headers and their data after the main header, to the
  // end-of-archive header or to the last whole entry before anything else
  // (a cut archive comes back as its whole entries); at least one header
  // must follow the main one.  "t" is "arj"; "name" is the archive name of
  // the main header without its ".arj" (in the archive-name character
  // set), "time" the main header's modification time (a DOS time taken as
  // local time, or seconds since 1970 from UNIX hosts).
  bool analyze(Reader& reader, File& file) override;

  static constexpr uint32_t kMaxEntries = 1u << 20;
};
