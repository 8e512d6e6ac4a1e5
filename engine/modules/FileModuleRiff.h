// RIFF containers: AVI, WAVE, MIDI (RMID), animated cursors (ACON) and
// other forms.  The size is the RIFF chunk's own, plus a JUNK chunk that
// some writers append after it.
#pragma once

#include "engine/FileModule.h"

class FileModuleRiff : public FileModule {
 public:
  // The sector starts with "RIFF".
  bool scan(const uint8_t* sector, uint32_t length) override;
  // Size = 8 + the chunk size at 4 (refused when beyond the reader); "t" from
  // the form type: "avi", "wav", "rmi", "ani", else "riff".  An AVI also
  // takes the "AVIX" chunks that follow it (files over a GiB); one whose
  // RIFF size was left unset (0 or FFFFFFFF) ends after its last whole chunk.
  bool analyze(Reader& reader, File& file) override;
};
