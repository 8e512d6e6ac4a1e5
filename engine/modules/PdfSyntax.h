// Small pieces of PDF syntax read through a ByteCursor: tokens after a
// position, the cross-reference sections a "startxref" points to, and the
// document information (title and creation date) they lead to.
#pragma once

#include <cstdint>
#include <string>

class ByteCursor;

// PDF white space: NUL, tab, line feed, form feed, carriage return, space.
bool isPdfSpace(uint8_t c);

// The start of a cross-reference section at `offset`: the keyword "xref"
// (a table) or an object header "N G obj" (a stream), white space before it
// allowed.
bool isCrossReferenceAt(ByteCursor& cursor, uint64_t offset, uint64_t limit);

// An object header "N G obj" (or the keywords "xref", "trailer",
// "startxref") after white space at `offset`: what follows a "%%EOF" when
// the document goes on with an update.
bool continuesAt(ByteCursor& cursor, uint64_t offset, uint64_t limit);

struct PdfInformation {
  std::string title;  // UTF-8, empty when none
  bool dated = false;
  int64_t seconds = 0;  // creation date, seconds since 1970
};

// The document information of the document whose last "startxref" value is
// `crossReference`: found through the trailer's "/Info" reference and the
// cross-reference tables (following "/Prev" to older ones).  False when any
// step is missing, e.g. with cross-reference streams.
bool readPdfInformation(ByteCursor& cursor, uint64_t crossReference, uint64_t end, PdfInformation& information);
