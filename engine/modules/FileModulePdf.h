// PDF documents.  Registered as "pdf".
#pragma once

#include "engine/FileModule.h"

class FileModulePdf : public FileModule {
 public:
  // The sector starts with "%PDF-" and a digit.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // The document ends after the last "%%EOF" that belongs to it: one whose
  // "startxref" points back to a cross-reference section of the file, and
  // after which the document does not go on with an incremental update.
  // Refused without such an end.  "t" is "pdf"; "name" and "time" from the
  // document information (title, creation date) where the cross-reference
  // table tells where it is.
  bool analyze(Reader& reader, File& file) override;
};
