// PDF documents.  Registered as "pdf".
#pragma once

#include <cstdint>
#include <vector>

#include "engine/FileModule.h"

class ByteCursor;

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
  // The same for the scanner's candidates, which remember the end markers
  // met on the medium: a document cut short is searched up to its size
  // limit, past the markers of the documents behind it, and the next ones
  // cut short in that stretch (each a read of hundreds of MB on a card)
  // take the markers from memory instead of reading them again.
  bool analyzeAt(uint64_t position, Reader& reader, File& file) override;
  void beginScan() override { known_ = KnownMarkers(); }

 private:
  static constexpr uint64_t kNoStartxref = UINT64_MAX;
  static constexpr size_t kMaxKnownMarkers = 100000;

  struct Marker {
    uint64_t at;         // on the medium
    uint64_t startxref;  // the number of the "startxref" before it, or kNoStartxref
    bool wholeTail;      // read with the whole tail before it in the window
  };
  // Every "%%EOF" that starts in [from, to) of the medium the scanner's
  // window `reader` looks at.
  struct KnownMarkers {
    const Reader* reader = nullptr;
    uint64_t from = 0, to = 0;
    std::vector<Marker> markers;
  };

  bool analyzeFrom(uint64_t base, Reader& reader, File& file, KnownMarkers* known);
  // The first marker that starts at or after `at` of the cursor (whose
  // byte 0 is at `base` on the medium), and the "startxref" before it;
  // UINT64_MAX when there is none or it cannot be read.
  uint64_t nextMarker(ByteCursor& cursor, uint64_t base, uint64_t at, KnownMarkers* known, uint64_t& startxref);

  KnownMarkers known_;
};
