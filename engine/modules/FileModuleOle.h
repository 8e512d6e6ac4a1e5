// OLE compound documents: Word, Excel, PowerPoint, Visio, Publisher,
// Project, Flash, installer databases and others.  Registered as "ole",
// "doc", "xls", "ppt", "fla", "pub", "vsd", "mpp", "vsmacros", "rpt" and
// "suo".
#pragma once

#include "engine/FileModule.h"

class FileModuleOle : public FileModule {
 public:
  // The compound-file signature D0 CF 11 E0 A1 B1 1A E1 and four zero bytes.
  bool scan(const uint8_t* sector, uint32_t length) override;
  // The size is the end of the highest sector in use (refused when beyond
  // the reader).  The type comes from the first stream name that names an
  // application ("WordDocument": "doc", and so on), else from the summary
  // information's application name, else "ole"; a summary titled
  // "Installation Database" makes it "msi".  "name" is the summary's
  // title, "time" its last-save time.  A directory entry of impossible
  // name length or kind refuses the candidate.
  bool analyze(Reader& reader, File& file) override;

  static constexpr uint32_t kMaxDirectorySectors = 16;
  static constexpr uint32_t kMaxSummary = 1048576;
};
