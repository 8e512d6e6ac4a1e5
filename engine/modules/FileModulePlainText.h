// Plain text files, which no signature announces.  Registered as "txt".
//
// Beyond the formats with a signature: a sector that is wholly text starts
// a text file (type "txt"), unless a file found before covers it.  Its
// pattern comes last in the pattern file, so every other format claims its
// sectors first.
#pragma once

#include "engine/FileModule.h"

class FileModulePlainText : public FileModule {
 public:
  // Every byte of the sector is text: tab, line feed, form feed, carriage
  // return, 32 to 126, or part of a well-formed UTF-8 character (one cut by
  // the sector's end included); and it holds a letter or digit.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // The text runs to its first byte that is not text (a NUL, a control
  // character, a byte that breaks UTF-8) or the reader's end; the file
  // ends after the last ASCII text byte before that, so that stray high
  // bytes after a text never count as its characters.  "t" is "txt".
  bool analyze(Reader& reader, File& file) override;
};
