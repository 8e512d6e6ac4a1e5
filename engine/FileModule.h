// The analyser interface of one file format, and the found-file record.
#pragma once

#include <cstdint>

#include "engine/Attributes.h"

class Reader;

class FileModule {
 public:
  struct File {
    Attributes attributes;
    uint64_t offset = UINT64_MAX;
    uint64_t size = UINT64_MAX;
    void clear() {
      attributes.clear();
      offset = UINT64_MAX;
      size = UINT64_MAX;
    }
  };

  FileModule() {}
  FileModule(const FileModule&) = delete;
  FileModule& operator=(const FileModule&) = delete;
  virtual ~FileModule() {}

  // Quick test of the sector where a pattern's bytes matched; looks only at
  // the given bytes.
  virtual bool scan(const uint8_t* sector, uint32_t length) { return true; }
  // Byte 0 of `reader` is the candidate's first byte; its size is the most
  // the file may occupy.  On success sets file.size (<= reader.size()), "t"
  // and further attributes.  Keeps no state between calls.
  virtual bool analyze(Reader& reader, File& file) { return false; }

  // The scanner's entry, which also says where on the medium the candidate
  // starts (a byte position).  Modules that act on the place itself (the
  // boot-sector and directory modules of a file-system family) override it;
  // format modules judge the bytes alone.
  virtual bool analyzeAt(uint64_t position, Reader& reader, File& file) { return analyze(reader, file); }
  // A scan of a medium begins: a module that remembers, between the
  // scanner's candidates, what it learned of the medium forgets it.
  virtual void beginScan() {}
};
