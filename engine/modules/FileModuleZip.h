// ZIP archives, and the office documents stored as ZIP archives.
// Registered as "zip".
#pragma once

#include "engine/FileModule.h"

class FileModuleZip : public FileModule {
 public:
  // The sector starts with a local file header, "PK" 03 04.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Walks the local file headers, the central directory and the records
  // that may follow it to the end of the end-of-central-directory record
  // and its comment; a candidate without that record inside the reader is
  // refused.  "t" is "zip", or the office type the entries show: "docx",
  // "xlsx", "pptx" (entries under word/, xl/, ppt/), "odt", "ods", "odp"
  // (a first entry "mimetype" holding the OpenDocument type).
  bool analyze(Reader& reader, File& file) override;

  // Data written with a data descriptor ends where the next header starts;
  // that header is looked for this far at most.
  static constexpr uint64_t kDescriptorSearch = 0xA00000;
  // Entries walked at most, in each of the two parts.
  static constexpr uint32_t kMaxEntries = 1u << 22;
};
